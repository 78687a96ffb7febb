#include "tone/sidetone_source.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tone {
namespace {

// An estimate farther than this from the timeline, beyond the lag of one of the device's
// reporting steps, twice in a row, starts the timeline afresh (the stream moved; one reading
// alone may be odd).
constexpr double kResetSeconds = 0.030;
// How fast the timeline may give way to later estimates: faster than a sound card's clock
// drifts from the system's.
constexpr double kDriftPerSecond = 150e-6;

double seconds(TimePoint d) {
    return std::chrono::duration<double>(d).count();
}

}  // namespace

void StreamTimeline::restart(int frameRate) {
    frameRate_ = frameRate;
    count_ = next_ = 0;
    farBefore_ = false;
    lastPlayed_.reset();
    lastReading_ = stepAfter_ = TimePoint{};
    moving_ = false;
    step_ = 0;
}

// The device reports what it has consumed in steps, so each estimate of the frame playing now
// lies behind the truth by up to a step (a few milliseconds with a short buffer, tens with a long
// one), never ahead, except for a rare reading that comes out early. The timeline follows the
// most advanced estimates: it rises to the second highest of the last few (one odd reading does
// not move it) and gives way only as slowly as two clocks can drift apart.
void StreamTimeline::observe(const platform::StreamPosition& position) {
    const std::int64_t played = position.framesWritten - position.framesQueued;
    const bool moved = lastPlayed_ && played != *lastPlayed_;
    const std::int64_t step = moved ? played - *lastPlayed_ : 0;
    lastPlayed_ = played;
    if (moved) {
        stepAfter_ = lastReading_;  // the step came after the reading before this one
    }
    lastReading_ = position.now;
    // A stream that has just started or resumed may stand still for a while (a few hundred
    // milliseconds after a rest here) before it plays: readings from before it is seen to move
    // say nothing about when it will.
    if (!moving_) {
        moving_ = moved;
        if (!moving_) {
            return;
        }
    }
    step_ = std::max(step_, step);
    // The device's own count, where it has one and it is ahead: it runs on between the steps.
    // It can lead the truth for a while, so it is taken no further than the stream can have
    // played since the moment before its last step.
    const auto since = static_cast<std::int64_t>(seconds(position.now - stepAfter_) * frameRate_);
    const auto playing = static_cast<double>(std::max(
        played, std::min({position.framesPlayed, position.framesWritten, played + since})));
    if (count_ == 0) {
        origin_ = position.now;
        last_ = position.now;
    }
    const double estimate = playing - seconds(position.now - origin_) * frameRate_;
    const double reset = kResetSeconds * frameRate_;
    const bool far = count_ > 0 && (estimate > offset_ + reset ||
                                    estimate < offset_ - reset - static_cast<double>(step_));
    if (far && farBefore_) {
        const TimePoint stepAfter = stepAfter_;
        restart(static_cast<int>(frameRate_));
        moving_ = true;  // it plays, elsewhere: start from this reading
        lastPlayed_ = played;
        stepAfter_ = stepAfter;
        observe(position);
        return;
    }
    farBefore_ = far;
    if (far) {
        return;
    }
    estimates_[next_++ % estimates_.size()] = estimate;
    count_ = std::min(count_ + 1, estimates_.size());
    double first = -std::numeric_limits<double>::infinity();
    double second = first;
    for (std::size_t i = 0; i < count_; ++i) {
        const double e = estimates_[i];
        if (e > first) {
            second = first;
            first = e;
        } else if (e > second) {
            second = e;
        }
    }
    if (count_ == 1) {
        offset_ = estimate;
    } else {
        const double drift = kDriftPerSecond * seconds(position.now - last_) * frameRate_;
        offset_ = std::max(second, offset_ - drift);
    }
    last_ = position.now;
}

std::optional<FrameClock> StreamTimeline::clock() const {
    if (count_ == 0 || farBefore_) {  // not known, or in doubt: place nothing new for now
        return std::nullopt;
    }
    return FrameClock{origin_, offset_, frameRate_};
}

SidetoneSource::~SidetoneSource() {
    // The audio thread has stopped: whatever it took is no longer in use.
    if (ToneLoop* untaken = offered_.exchange(nullptr)) {
        delete untaken;
    } else {
        delete lastOffered_;
    }
}

bool SidetoneSource::post(const SidetoneCommand& command) {
    return commands_.push(command);
}

void SidetoneSource::setTone(std::optional<ToneSample> sample, double playbackRate) {
    // No sample is a tone of silence: the keying goes on unheard.
    auto* tone =
        new ToneLoop{sample ? std::move(*sample) : ToneSample{}, playbackRate, ++generation_};
    if (ToneLoop* untaken = offered_.exchange(tone, std::memory_order_acq_rel)) {
        delete untaken;  // never seen by the audio thread
    } else if (lastOffered_ != nullptr) {
        tones_.emplace_back(lastOffered_);  // taken: freed once the audio thread is past it
    }
    lastOffered_ = tone;
    freeTones();
}

// Frees the tones the audio thread has moved past: it only ever moves to newer ones.
void SidetoneSource::freeTones() {
    const std::uint64_t inUse = toneInUse_.load(std::memory_order_acquire);
    while (!tones_.empty() && tones_.front()->generation < inUse) {
        tones_.pop_front();
    }
}

void SidetoneSource::startStream(int frameRate) {
    sidetone_.restart(frameRate);
    timeline_.restart(frameRate);
    quietFrom_ = 0;
}

void SidetoneSource::streamMoved() {
    timeline_.restart(sidetone_.frameRate());
}

void SidetoneSource::render(std::span<std::int16_t> out, const platform::StreamPosition& position) {
    timeline_.observe(position);
    const std::optional<FrameClock> clock = timeline_.clock();
    const double rate = sidetone_.frameRate();
    outputDelay_.store(static_cast<double>(position.framesQueued + std::ssize(out)) / rate,
                       std::memory_order_relaxed);

    while (sidetone_.canTake()) {
        if (!held_) {
            SidetoneCommand c;
            if (!commands_.pop(c)) {
                break;
            }
            held_ = c;
        }
        sidetone_.apply(*held_);
        held_.reset();
    }
    if (ToneLoop* tone = offered_.exchange(nullptr, std::memory_order_acq_rel)) {
        sidetone_.offerTone(tone);
    }
    const auto gain = static_cast<float>(volumeGain(volume_.load(std::memory_order_relaxed)));
    sidetone_.render(out, clock ? &*clock : nullptr, gain);
    if (const ToneLoop* tone = sidetone_.currentTone()) {
        toneInUse_.store(tone->generation, std::memory_order_release);
    }
    lateMarks_.store(sidetone_.lateMarks(), std::memory_order_relaxed);
    if (!sidetone_.idle()) {
        quietFrom_ = sidetone_.nextFrame();
    }
}

bool SidetoneSource::resting() const {
    return commands_.empty() && !held_ && sidetone_.idle() &&
           sidetone_.nextFrame() >=
               quietFrom_ + std::llround(kRestAfterSeconds * sidetone_.frameRate());
}

}  // namespace tone
