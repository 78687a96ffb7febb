#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "tone/keyer_mirror.h"
#include "tone/wave_file.h"

// The sidetone: the tone sample looped at the chosen pitch, keyed by the monitor's marks, each
// key edge on the frame where the monitor's timeline puts it. Runs on the audio thread: no
// locks, no allocation.
namespace tone {

// The tone as the operator set it: the sample and the rate it is played at (4 x pitch).
struct ToneLoop {
    ToneSample sample;
    double playbackRate = 0;
    std::uint64_t generation = 0;  // newer tones have higher numbers
};

// The key-down gain for a level in hundredths of a dB: 10^(v/2000); -10000 and below is silence.
double volumeGain(int hundredthsOfDb);

// Where the monotonic clock stands on a stream: the frame the device plays at `origin`, and
// how many frames a second pass.
struct FrameClock {
    TimePoint origin{};
    double originFrame = 0;
    double rate = 48000;
    double frameAt(TimePoint t) const;
};

class Sidetone {
  public:
    // Every key edge is a raised-cosine ramp this long, centred on the edge's own frame, so the
    // level passes half way exactly where the timeline puts the edge.
    static constexpr double kEdgeSeconds = 0.005;
    static constexpr std::size_t kCapacity = 512;  // marks held at once
    // How far a mark of a busy sequence moves toward the timeline (this share of the way, at
    // most kNudgeSeconds), and how far ahead of it the sequence must be to move at once.
    static constexpr std::int64_t kNudgeShare = 4;
    static constexpr double kNudgeSeconds = 0.001;
    static constexpr double kJumpSeconds = 0.050;
    // Behind the timeline by more than this, the sequence catches up in the gaps between
    // characters, each shortened by at most this share (1/3: a letter gap stays two units).
    static constexpr double kCatchUpSeconds = 0.005;
    static constexpr std::int64_t kCatchUpShare = 3;
    static constexpr double kPlaceAheadSeconds = 0.020;
    static constexpr std::int64_t kRoundingFrames = 4;

    explicit Sidetone(int frameRate = 48000) { restart(frameRate); }

    // A new stream: frame 0 comes next. Marks that have begun are dropped (a device change may
    // cut what sounds); the others are placed again on the new stream.
    void restart(int frameRate);
    int frameRate() const { return frameRate_; }
    std::int64_t nextFrame() const { return next_; }

    // Whether a command can be taken now (a mark needs room).
    bool canTake() const { return count_ < kCapacity; }
    void apply(const SidetoneCommand& command);
    // Whether nothing is keyed or waiting to be.
    bool idle() const { return count_ == 0; }
    // How many marks of the keyer's sequence sounded more than a millisecond after their time.
    std::int64_t lateMarks() const { return lateMarks_; }

    // The tone to loop from the next silent frame on; a newer one replaces one still waiting.
    void offerTone(const ToneLoop* tone);
    const ToneLoop* currentTone() const { return tone_; }
    const ToneLoop* waitingTone() const { return waiting_; }

    // Renders the next out.size() frames. `clock` places marks on this stream (nullptr while
    // the stream's position is not known yet: nothing new is placed); `gain` is the key-down
    // level for characters that begin now.
    void render(std::span<std::int16_t> out, const FrameClock* clock, float gain);

  private:
    struct Placed {
        KeyMark mark;
        bool placed = false;
        std::int64_t start = 0;  // frames, once placed
        std::int64_t end = 0;
        std::int64_t shift = 0;  // how far behind its timeline it was placed
        float gain = -1;         // taken when its character begins
    };
    static constexpr std::size_t kBlock = 256;

    void place(const FrameClock& clock);
    std::int64_t sequenceFrame(TimePoint at) const;
    void endAt(Placed& p, TimePoint at, const FrameClock* clock);
    void remove(std::size_t index);
    bool begun(const Placed& p) const;
    void renderBlock(std::int16_t* out, std::size_t frames, float gain);
    float ramp(double x) const;

    int frameRate_ = 48000;
    double halfEdge_ = 0;
    std::int64_t next_ = 0;

    std::array<Placed, kCapacity> marks_{};  // in the order handed over
    std::size_t count_ = 0;
    std::int64_t chainEnd_ = 0;     // where the last mark of the keyer's sequence ends
    TimePoint chainPlannedEnd_{};   // and where it was to end
    std::int64_t anchorFrame_ = 0;  // where the sequence was last set: a frame and its time
    TimePoint anchorTime_{};
    bool chainKnown_ = false;
    std::int64_t stretchLate_ = 0;  // how late the keyer's busy stretch began, in frames
    float characterGain_ = 0;
    std::int64_t lateMarks_ = 0;
    const FrameClock* clock_ = nullptr;

    const ToneLoop* tone_ = nullptr;
    const ToneLoop* waiting_ = nullptr;
    double phase_ = 0;  // position in the tone sample, in its samples
};

}  // namespace tone
