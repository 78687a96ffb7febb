#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <limits>
#include <memory>
#include <optional>
#include <span>

#include "platform/audio_stream.h"
#include "tone/output_policy.h"
#include "tone/sidetone_contract.h"
#include "tone/sidetone_renderer.h"
#include "tone/spsc_ring.h"
#include "tone/stream_timeline.h"
#include "tone/tone_loop.h"

// Where the monitor on the window's thread meets the sidetone on the audio thread: a lock-free
// hand-over of commands and tones one way, figures the other.
namespace tone {

class SidetoneSource final : public platform::SampleSource {
  public:
    SidetoneSource() = default;
    ~SidetoneSource() override;
    SidetoneSource(const SidetoneSource&) = delete;
    SidetoneSource& operator=(const SidetoneSource&) = delete;

    // Window thread. False when the hand-over is full: post it again later.
    bool post(const SidetoneCommand& command);
    // Window thread: the level of the characters that begin from now on, in hundredths of a dB.
    void setVolume(int hundredthsOfDb) { volume_.store(hundredthsOfDb, std::memory_order_relaxed); }
    // Window thread: the tone to loop from the next silent moment (nullopt: silence). The last
    // one set wins, however many come while the stream rests.
    void setTone(std::optional<ToneSample> sample, double playbackRate);
    // Window thread: the output buffer the latency leaves room for, in seconds.
    void setLatencyBuffer(double seconds) {
        latencyBuffer_.store(seconds, std::memory_order_relaxed);
    }

    // Any thread: from the moment a frame is rendered to the moment it is played, in seconds,
    // as the stream last reported; NaN before it has played.
    double outputDelay() const { return outputDelay_.load(std::memory_order_relaxed); }
    // Any thread: how many marks sounded more than a millisecond after their time.
    std::int64_t lateMarks() const { return lateMarks_.load(std::memory_order_relaxed); }
    // Any thread: how often the device ran out of sound while playing.
    std::int64_t underruns() const { return underruns_.load(std::memory_order_relaxed); }
    // Any thread: the buffer the device holds, in seconds; 0 before a stream opened.
    double bufferInUse() const { return bufferInUse_.load(std::memory_order_relaxed); }

    // Audio thread.
    double bufferSeconds() override;
    void startStream(int frameRate, std::int64_t bufferFrames) override;
    void streamResumed() override;
    void ranDry() override;
    platform::OutputStep fill(std::span<std::int16_t> room,
                              const platform::StreamPosition& position) override;

  private:
    void freeTones();

    SpscRing<SidetoneCommand, 1024> commands_;
    std::atomic<int> volume_{-2000};
    std::atomic<double> latencyBuffer_{0};
    std::atomic<ToneLoop*> offered_{nullptr};
    std::atomic<std::uint64_t> toneInUse_{0};
    std::atomic<double> outputDelay_{std::numeric_limits<double>::quiet_NaN()};
    std::atomic<std::int64_t> lateMarks_{0};
    std::atomic<std::int64_t> underruns_{0};
    std::atomic<double> bufferInUse_{0};

    // Window thread only: the tones the audio thread took, freed once it has moved past them.
    std::deque<std::unique_ptr<ToneLoop>> tones_;
    ToneLoop* lastOffered_ = nullptr;  // the newest tone: offered, or taken by the audio thread
    std::uint64_t generation_ = 0;

    // Audio thread only.
    SidetoneRenderer renderer_;
    StreamTimeline timeline_;
    OutputPolicy policy_;
    std::optional<SidetoneCommand> held_;  // taken from the hand-over, waiting for room
    std::int64_t heard_ = 0;               // frames of this stream played by the last reading
};

}  // namespace tone
