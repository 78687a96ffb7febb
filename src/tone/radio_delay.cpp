#include "tone/radio_delay.h"

#include <algorithm>
#include <cmath>

namespace tone {
namespace {

double ms(TimePoint t) {
    return toSeconds(t) * 1000;
}

}  // namespace

RadioDelay::RadioDelay(int frameRate, std::optional<double> pitchHz)
    : rate_(std::max(frameRate, 1000)), givenPitch_(pitchHz), bank_(rate_) {
    raw_.assign(static_cast<std::size_t>(kRawSeconds * rate_), 0);
}

std::optional<CaptureClock> RadioDelay::captureClock() const {
    if (!clockKnown_) {
        return std::nullopt;
    }
    return CaptureClock{ms(origin_), capture_.value(), static_cast<double>(rate_)};
}

std::optional<double> RadioDelay::pitchHz() const {
    if (givenPitch_) {
        return givenPitch_;
    }
    return finder_ ? std::optional(finder_->pitchHz()) : std::nullopt;
}

std::optional<DelayEstimate> RadioDelay::estimate() const {
    auto e = tracker_.estimate();
    if (e && finder_) {
        e->pitchHz = finder_->pitchHz();
    }
    return e;
}

void RadioDelay::heard(std::span<const float> samples, TimePoint readAt) {
    for (float s : samples) {
        raw_[static_cast<std::size_t>(delivered_ % static_cast<std::int64_t>(raw_.size()))] = s;
        ++delivered_;
    }
    // Each reading says the frames delivered had been heard by then: the least late readings
    // place the audio on the clock.
    if (!clockKnown_) {
        clockKnown_ = true;
        origin_ = readAt;
        capture_.restart(static_cast<double>(delivered_), readAt);
    } else {
        capture_.add(static_cast<double>(delivered_) - toSeconds(readAt - origin_) * rate_, readAt,
                     rate_);
    }
    bank_.feed(samples);
    if (finder_) {
        const std::size_t before = found_.size();
        finder_->feed(samples, found_);
        matchEdges(before);
    }
    const double now = ms(readAt);
    if (now >= nextSearchMs_) {
        nextSearchMs_ = now + kSearchEverySeconds * 1000;
        search(now);
    }
}

void RadioDelay::search(double nowMs) {
    const auto window = static_cast<std::int64_t>(kSearchWindowSeconds / ToneBank::kBlockSeconds);
    std::size_t first = 0;
    std::size_t last = bank_.bins() == 0 ? 0 : bank_.bins() - 1;
    const double pitch = givenPitch_.value_or(finder_ ? finder_->pitchHz() : 0);
    if (pitch > 0) {  // only near the pitch known
        const double binWidth = bank_.binHz(1) - bank_.binHz(0);
        const double at = (pitch - bank_.binHz(0)) / binWidth;
        first = static_cast<std::size_t>(std::max(0.0, std::floor(at - 1)));
        last = std::min(last, static_cast<std::size_t>(std::max(0.0, std::ceil(at + 1))));
    }
    const auto match = CoarseSearch::run(bank_, bank_.blocks() - window, bank_.blocks(), first,
                                         last, *captureClock(), keyed_);
    (void)nowMs;
    if (!match) {
        return;
    }
    if (!tracker_.locked()) {
        tracker_.lockAt(match->delayMs);
        startEdgeFinder(givenPitch_.value_or(match->pitchHz));
        disagreements_ = 0;
        return;
    }
    if (std::abs(match->delayMs - tracker_.middleMs()) < kRelockMs) {
        disagreements_ = 0;
        if (!givenPitch_ && std::abs(match->pitchHz - finder_->pitchHz()) > kRepitchHz) {
            startEdgeFinder(match->pitchHz);
        }
        return;
    }
    if (++disagreements_ >= 2) {  // the delay changed: take it up afresh there
        disagreements_ = 0;
        tracker_.lockAt(match->delayMs);
        for (const HeardEdge& e : edges_) {
            tracker_.heard(e, keyed_);
        }
    }
}

// A new edge finder at `pitch`, run over the audio still held first.
void RadioDelay::startEdgeFinder(double pitch) {
    finder_.emplace(rate_, pitch);
    found_.clear();
    edges_.clear();
    const auto held = std::min<std::int64_t>(delivered_, static_cast<std::int64_t>(raw_.size()));
    finderStart_ = delivered_ - held;
    std::vector<float> audio(static_cast<std::size_t>(held));
    for (std::int64_t i = 0; i < held; ++i) {
        audio[static_cast<std::size_t>(i)] = raw_[static_cast<std::size_t>(
            (finderStart_ + i) % static_cast<std::int64_t>(raw_.size()))];
    }
    finder_->feed(audio, found_);
    tracker_.lockAt(tracker_.delayMs());
    matchEdges(0);
}

void RadioDelay::matchEdges(std::size_t from) {
    const CaptureClock clock = *captureClock();
    for (std::size_t i = from; i < found_.size(); ++i) {
        const HeardEdge e{clock.msAt(static_cast<double>(finderStart_) + found_[i].frame),
                          found_[i].down};
        edges_.push_back(e);
        tracker_.heard(e, keyed_);
    }
    found_.clear();
    // Only the edges of the search's window are kept for a change of delay.
    const double keepFrom = edges_.empty() ? 0 : edges_.back().at - kSearchWindowSeconds * 1000;
    std::erase_if(edges_, [keepFrom](const HeardEdge& e) { return e.at < keepFrom; });
}

}  // namespace tone
