#include "tone/sidetone_source.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace tone {
namespace {

// Above this the estimate of where the stream stands is thrown away, not followed (a stream
// that stalled, skipped or was suspended).
constexpr double kResetSeconds = 0.030;
// The device reports what it has consumed only every few milliseconds, so each estimate of the
// frame playing now lies behind the truth by up to that much, never ahead: the timeline follows
// the most advanced estimates and gives way only as slowly as two clocks can drift apart.
constexpr double kDriftPerSecond = 200e-6;

double seconds(TimePoint d) {
    return std::chrono::duration<double>(d).count();
}

}  // namespace

void StreamTimeline::restart(int frameRate) {
    frameRate_ = frameRate;
    known_ = false;
}

void StreamTimeline::observe(const platform::StreamPosition& position) {
    const double playing = static_cast<double>(position.framesWritten - position.framesQueued);
    if (!known_) {
        known_ = true;
        origin_ = position.now;
        last_ = position.now;
        offset_ = playing;
        return;
    }
    const double estimate = playing - seconds(position.now - origin_) * frameRate_;
    const double drift = kDriftPerSecond * seconds(position.now - last_) * frameRate_;
    last_ = position.now;
    if (std::abs(estimate - offset_) > kResetSeconds * frameRate_) {
        offset_ = estimate;
    } else {
        offset_ = std::max(estimate, offset_ - drift);
    }
}

std::optional<double> StreamTimeline::frameAt(TimePoint t) const {
    if (!known_) {
        return std::nullopt;
    }
    return offset_ + seconds(t - origin_) * frameRate_;
}

SidetoneSource::~SidetoneSource() {
    ToneHandOver handOver;
    while (tones_.pop(handOver)) {
        delete handOver.tone;
    }
    freeRetired();
    delete sidetone_.currentTone();
    if (sidetone_.toneWaiting()) {
        delete sidetone_.waitingTone();
    }
    if (const ToneLoop* old = sidetone_.takeRetired(); old != nullptr) {
        delete old;
    }
}

void SidetoneSource::post(const PlayedCharacter& character) {
    (void)characters_.push({character, false});
}

void SidetoneSource::withdraw(std::uint64_t run, double offset) {
    KeyingHandOver handOver;
    handOver.character.run = run;
    handOver.character.offset = offset;
    handOver.withdraw = true;
    (void)characters_.push(handOver);
}

void SidetoneSource::setTone(std::optional<ToneSample> sample, double playbackRate) {
    freeRetired();
    std::unique_ptr<ToneLoop> tone;
    if (sample) {
        tone = std::make_unique<ToneLoop>(ToneLoop{std::move(*sample), playbackRate});
    }
    if (tones_.push({tone.get()})) {
        (void)tone.release();
    }
}

void SidetoneSource::freeRetired() {
    const ToneLoop* tone = nullptr;
    while (retired_.pop(tone)) {
        delete tone;
    }
}

void SidetoneSource::startStream(int frameRate) {
    sidetone_.restart(frameRate);
    timeline_.restart(frameRate);
    KeyingHandOver stale;
    while (characters_.pop(stale)) {
    }
}

void SidetoneSource::render(std::span<std::int16_t> out, const platform::StreamPosition& position) {
    timeline_.observe(position);
    const double rate = sidetone_.frameRate();
    KeyingHandOver k;
    while (characters_.pop(k)) {
        const PlayedCharacter& c = k.character;
        if (k.withdraw) {
            sidetone_.withdraw(c.run, c.offset);
            continue;
        }
        const bool newRun = c.run != placedRun_;
        placedRun_ = c.run;
        const double requested = timeline_.frameAt(c.runStart).value_or(0);
        sidetone_.place(c, std::llround(requested + kLeadSeconds * rate));
        if (newRun) {
            lastRunLatency_.store((static_cast<double>(sidetone_.runAnchor()) - requested) / rate,
                                  std::memory_order_relaxed);
        }
    }
    ToneHandOver handOver;
    if (!sidetone_.toneWaiting() && tones_.pop(handOver)) {
        sidetone_.offerTone(handOver.tone);
    }
    sidetone_.render(out);
    if (const ToneLoop* old = sidetone_.takeRetired(); old != nullptr) {
        (void)retired_.push(old);
    }
}

bool SidetoneSource::resting() const {
    return characters_.empty() &&
           sidetone_.nextFrame() >=
               sidetone_.keyingEnd() + std::llround(kRestAfterSeconds * sidetone_.frameRate());
}

}  // namespace tone
