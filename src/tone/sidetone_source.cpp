#include "tone/sidetone_source.h"

namespace tone {

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

double SidetoneSource::bufferSeconds() {
    policy_.setLatencyBuffer(latencyBuffer_.load(std::memory_order_relaxed));
    return policy_.askSeconds();
}

// What the old stream had not played yet is placed again on the new one.
void SidetoneSource::startStream(int frameRate, std::int64_t bufferFrames) {
    policy_.setLatencyBuffer(latencyBuffer_.load(std::memory_order_relaxed));
    policy_.started(frameRate, bufferFrames);
    renderer_.restart(frameRate, heard_);
    timeline_.restart(frameRate);
    heard_ = 0;
    bufferInUse_.store(policy_.grantedSeconds(), std::memory_order_relaxed);
}

void SidetoneSource::streamResumed() {
    timeline_.restart(renderer_.frameRate());
    policy_.resumed();
}

void SidetoneSource::ranDry() {
    timeline_.restart(renderer_.frameRate());
    policy_.ranDry();
    underruns_.store(policy_.underruns(), std::memory_order_relaxed);
}

platform::OutputStep SidetoneSource::fill(std::span<std::int16_t> room,
                                          const platform::StreamPosition& position) {
    policy_.setLatencyBuffer(latencyBuffer_.load(std::memory_order_relaxed));
    timeline_.observe(position);
    const std::optional<FrameClock> clock = timeline_.clock();
    const double rate = renderer_.frameRate();
    outputDelay_.store(static_cast<double>(position.framesQueued + std::ssize(room)) / rate,
                       std::memory_order_relaxed);
    heard_ = position.framesWritten - position.framesQueued;

    while (renderer_.canTake()) {
        if (!held_) {
            SidetoneCommand c;
            if (!commands_.pop(c)) {
                break;
            }
            held_ = c;
        }
        renderer_.apply(*held_, clock);
        held_.reset();
    }
    if (ToneLoop* tone = offered_.exchange(nullptr, std::memory_order_acq_rel)) {
        renderer_.offerTone(tone);
    }
    const auto gain = static_cast<float>(volumeGain(volume_.load(std::memory_order_relaxed)));
    renderer_.render(room, clock, gain, position.now);
    if (const ToneLoop* tone = renderer_.currentTone()) {
        toneInUse_.store(tone->generation, std::memory_order_release);
    }
    lateMarks_.store(renderer_.lateMarks(), std::memory_order_relaxed);

    const bool quiet = commands_.empty() && !held_ && renderer_.idle();
    const platform::OutputStep step =
        policy_.next(position, room.size(), quiet, timeline_.moving());
    underruns_.store(policy_.underruns(), std::memory_order_relaxed);
    return step;
}

}  // namespace tone
