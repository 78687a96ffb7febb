#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "platform/audio_stream.h"
#include "tone/monitor.h"
#include "tone/sidetone.h"
#include "tone/spsc_ring.h"

// The bridge between the monitor on the window's thread and the sidetone on the audio thread.
namespace tone {

// Maps the monotonic clock onto the frames of the output stream, from where the stream says
// it stands each time it asks for sound.
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
    double offset_ = 0;  // frame playing at the origin
};

class SidetoneSource final : public platform::SampleSource {
  public:
    // How long after a run's start its first sound is placed: covers the time until the audio
    // thread's next turn and the sound already queued in the device.
    static constexpr double kLeadSeconds = 0.018;

    SidetoneSource() = default;
    ~SidetoneSource() override;
    SidetoneSource(const SidetoneSource&) = delete;
    SidetoneSource& operator=(const SidetoneSource&) = delete;

    // Window thread. A character that finds the hand-over full (no stream playing) is dropped.
    void post(const PlayedCharacter& character);
    // Window thread: the tone to loop from the next silent moment; nullopt for silence.
    void setTone(std::optional<ToneSample> sample, double playbackRate);

    // Audio thread.
    void startStream(int frameRate) override;
    void render(std::span<std::int16_t> out, const platform::StreamPosition& position) override;

  private:
    void freeRetired();

    struct ToneHandOver {
        ToneLoop* tone = nullptr;
    };
    SpscRing<PlayedCharacter, 64> characters_;
    SpscRing<ToneHandOver, 8> tones_;
    SpscRing<const ToneLoop*, 16> retired_;

    // Audio thread only.
    Sidetone sidetone_;
    StreamTimeline timeline_;
};

}  // namespace tone
