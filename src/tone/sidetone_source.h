#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <limits>
#include <memory>
#include <optional>
#include <span>

#include "platform/audio_stream.h"
#include "tone/keyer_mirror.h"
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
    // Where the clock stands on the stream; nullopt before the first observation.
    std::optional<FrameClock> clock() const;

  private:
    double frameRate_ = 48000;
    TimePoint origin_{};
    TimePoint last_{};                    // the last observation
    double offset_ = 0;                   // frame playing at the origin
    std::array<double, 32> estimates_{};  // the latest estimates of offset_
    std::size_t count_ = 0;
    std::size_t next_ = 0;
    bool farBefore_ = false;                  // the last estimate was far from the timeline
    std::optional<std::int64_t> lastPlayed_;  // the last reading of the frames played
    TimePoint lastReading_{};                 // when it was taken
    TimePoint stepAfter_{};                   // the reading before it last changed
    bool moving_ = false;                     // the stream has been seen to move
    std::int64_t step_ = 0;                   // the longest step of the readings, in frames
};

class SidetoneSource final : public platform::SampleSource {
  public:
    // How long the stream goes on with silence after the last keying before it may rest: long
    // enough that typed or paced characters find it playing (a resumed stream reports where it
    // stands poorly at first), short enough that an idle monitor costs nothing.
    static constexpr double kRestAfterSeconds = 2.0;

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
    // Any thread: from the moment a frame is rendered to the moment it is played, in seconds,
    // as the stream last reported; NaN before it has played.
    double outputDelay() const { return outputDelay_.load(std::memory_order_relaxed); }
    // Any thread: how many marks sounded more than a millisecond after their time.
    std::int64_t lateMarks() const { return lateMarks_.load(std::memory_order_relaxed); }

    // Audio thread.
    void startStream(int frameRate) override;
    void streamMoved() override;
    void render(std::span<std::int16_t> out, const platform::StreamPosition& position) override;
    bool resting() const override;

  private:
    void freeTones();

    SpscRing<SidetoneCommand, 1024> commands_;
    std::atomic<int> volume_{-2000};
    std::atomic<ToneLoop*> offered_{nullptr};
    std::atomic<std::uint64_t> toneInUse_{0};
    std::atomic<double> outputDelay_{std::numeric_limits<double>::quiet_NaN()};
    std::atomic<std::int64_t> lateMarks_{0};

    // Window thread only: the tones the audio thread took, freed once it has moved past them.
    std::deque<std::unique_ptr<ToneLoop>> tones_;
    ToneLoop* lastOffered_ = nullptr;  // the newest tone: offered, or taken by the audio thread
    std::uint64_t generation_ = 0;

    // Audio thread only.
    Sidetone sidetone_;
    StreamTimeline timeline_;
    std::optional<SidetoneCommand> held_;  // taken from the hand-over, waiting for room
    std::int64_t quietFrom_ = 0;           // the frame from which nothing has been keyed
};

}  // namespace tone
