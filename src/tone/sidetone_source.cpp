#include "tone/sidetone_source.h"

#include <cmath>
#include <memory>

namespace tone {
namespace {

// Above this the estimate of where the stream stands is thrown away, not smoothed in
// (a stream that stalled or skipped).
constexpr double kResetSeconds = 0.030;
// How much of each new estimate is taken in: the estimates jitter by a write's worth.
constexpr double kSmoothing = 0.05;

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
        offset_ = playing;
        return;
    }
    const double estimate = playing - seconds(position.now - origin_) * frameRate_;
    if (std::abs(estimate - offset_) > kResetSeconds * frameRate_) {
        offset_ = estimate;
    } else {
        offset_ += kSmoothing * (estimate - offset_);
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
    (void)characters_.push(character);
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
    PlayedCharacter stale;
    while (characters_.pop(stale)) {
    }
}

void SidetoneSource::render(std::span<std::int16_t> out, const platform::StreamPosition& position) {
    timeline_.observe(position);
    const double rate = sidetone_.frameRate();
    PlayedCharacter c;
    while (characters_.pop(c)) {
        const double at = timeline_.frameAt(c.runStart).value_or(0) + kLeadSeconds * rate;
        sidetone_.place(c, std::llround(at));
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

}  // namespace tone
