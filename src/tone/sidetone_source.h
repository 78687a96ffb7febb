#pragma once

#include <atomic>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>

#include "platform/audio_stream.h"
#include "tone/monitor.h"
#include "tone/sidetone.h"
#include "tone/spsc_ring.h"

// The bridge between the monitor on the window's thread and the sidetone on the audio thread.
namespace tone {

// Maps the monotonic clock onto the frames of the output stream, from where the stream says
// it stands each time it asks for sound (its frames written less those still queued).
class StreamTimeline {
  public:
    void restart(int frameRate);
    void observe(const platform::StreamPosition& position);
    // The frame that the device plays at time `t`; nullopt before the first observation.
    std::optional<double> frameAt(TimePoint t) const;

  private:
    double frameRate_ = 48000;
    bool known_ = false;
    TimePoint origin_{};
    TimePoint last_{};   // the last observation
    double offset_ = 0;  // frame playing at the origin
};

class SidetoneSource final : public platform::SampleSource {
  public:
    // How long after a run's start its first sound is placed: covers the time until the audio
    // thread's next turn and the sound already queued in the device (a full buffer when the
    // stream resumes after a rest).
    static constexpr double kLeadSeconds = 0.019;
    // How long the stream goes on with silence after the last keying before it may rest.
    static constexpr double kRestAfterSeconds = 0.25;

    SidetoneSource() = default;
    ~SidetoneSource() override;
    SidetoneSource(const SidetoneSource&) = delete;
    SidetoneSource& operator=(const SidetoneSource&) = delete;

    // Window thread. A character that finds the hand-over full (no stream playing) is dropped.
    void post(const PlayedCharacter& character);
    // Window thread: the characters of `run` posted for `offset` seconds into it and later are
    // not to sound after all.
    void withdraw(std::uint64_t run, double offset);
    // Any thread: from the request of the last run placed to its first frame reaching the
    // device, in seconds, as the stream reports its position; NaN before the first run.
    double lastRunLatency() const { return lastRunLatency_.load(std::memory_order_relaxed); }
    // Window thread: the tone to loop from the next silent moment; nullopt for silence.
    void setTone(std::optional<ToneSample> sample, double playbackRate);

    // Audio thread.
    void startStream(int frameRate) override;
    void render(std::span<std::int16_t> out, const platform::StreamPosition& position) override;
    bool resting() const override;

  private:
    void freeRetired();

    struct ToneHandOver {
        ToneLoop* tone = nullptr;
    };
    struct KeyingHandOver {
        PlayedCharacter character;
        bool withdraw = false;  // take back character.run from character.offset on
    };
    SpscRing<KeyingHandOver, 64> characters_;
    SpscRing<ToneHandOver, 8> tones_;
    SpscRing<const ToneLoop*, 16> retired_;

    std::atomic<double> lastRunLatency_{std::numeric_limits<double>::quiet_NaN()};

    // Audio thread only.
    Sidetone sidetone_;
    StreamTimeline timeline_;
    std::uint64_t placedRun_ = 0;
};

}  // namespace tone
