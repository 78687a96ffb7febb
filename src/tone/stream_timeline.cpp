#include "tone/stream_timeline.h"

#include <algorithm>
#include <limits>

namespace tone {

void PlayedFrames::restart(double rate) {
    rate_ = rate;
    last_.reset();
    lastAt_ = beforeStep_ = TimePoint{};
}

PlayedFrames::Reading PlayedFrames::read(const platform::StreamPosition& position) {
    const std::int64_t played = position.framesWritten - position.framesQueued;
    Reading r;
    r.moved = last_ && played != *last_;
    r.step = r.moved ? played - *last_ : 0;
    if (r.moved) {
        beforeStep_ = lastAt_;  // the step came after the reading before this one
    }
    last_ = played;
    lastAt_ = position.now;
    const auto since = static_cast<std::int64_t>(toSeconds(position.now - beforeStep_) * rate_);
    const std::int64_t own =
        std::min({position.framesPlayed, position.framesWritten, played + since});
    r.frames = static_cast<double>(std::max(played, own));
    return r;
}

JumpGuard::Verdict JumpGuard::judge(double estimate, double timeline, double longestStep,
                                    double rate) {
    const double far = kFarSeconds * rate;
    if (estimate <= timeline + far && estimate >= timeline - far - longestStep) {
        far_ = 0;
        return Verdict::Near;
    }
    if (++far_ < kFarInARow) {
        return Verdict::InDoubt;
    }
    far_ = 0;
    return Verdict::Moved;
}

void LagFilter::restart(double estimate, TimePoint at) {
    recent_[0] = estimate;
    count_ = next_ = 1;
    value_ = estimate;
    last_ = at;
}

void LagFilter::add(double estimate, TimePoint at, double rate) {
    recent_[next_++ % kWindow] = estimate;
    count_ = std::min(count_ + 1, kWindow);
    // The kRank-th highest of those held.
    std::array<double, kRank> top;
    top.fill(-std::numeric_limits<double>::infinity());
    for (std::size_t i = 0; i < count_; ++i) {
        const double e = recent_[i];
        for (std::size_t k = 0; k < kRank; ++k) {
            if (e > top[k]) {
                std::copy_backward(top.begin() + static_cast<std::ptrdiff_t>(k), top.end() - 1,
                                   top.end());
                top[k] = e;
                break;
            }
        }
    }
    const double ranked = count_ >= kRank ? top[kRank - 1] : top[count_ - 1];
    value_ = std::max(ranked, value_ - kGiveWayPerSecond * toSeconds(at - last_) * rate);
    last_ = at;
}

void StreamTimeline::restart(int frameRate) {
    rate_ = frameRate;
    played_.restart(rate_);
    gate_.restart();
    guard_.restart();
    known_ = inDoubt_ = false;
    longestStep_ = 0;
}

void StreamTimeline::observe(const platform::StreamPosition& position) {
    const PlayedFrames::Reading reading = played_.read(position);
    if (!gate_.pass(reading.moved)) {
        return;
    }
    longestStep_ = std::max(longestStep_, static_cast<double>(reading.step));
    if (known_) {
        const double estimate = reading.frames - toSeconds(position.now - origin_) * rate_;
        switch (guard_.judge(estimate, filter_.value(), longestStep_, rate_)) {
            case JumpGuard::Verdict::Near:
                inDoubt_ = false;
                filter_.add(estimate, position.now, rate_);
                return;
            case JumpGuard::Verdict::InDoubt:
                inDoubt_ = true;
                return;
            case JumpGuard::Verdict::Moved:
                longestStep_ = 0;  // the stream plays elsewhere: start from this reading
                break;
        }
    }
    known_ = true;
    inDoubt_ = false;
    origin_ = position.now;
    filter_.restart(reading.frames, position.now);
}

std::optional<FrameClock> StreamTimeline::clock() const {
    if (!known_ || inDoubt_) {
        return std::nullopt;
    }
    return FrameClock{origin_, filter_.value(), rate_};
}

}  // namespace tone
