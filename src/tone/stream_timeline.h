#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/audio_stream.h"
#include "tone/sidetone_contract.h"

// Where the monotonic clock stands on an output stream, found from the device's own reports
// each time it asks for sound. Runs on the audio thread: no locks, no allocation.
namespace tone {

// The clock on a stream: the frame the device plays at `origin`, and how many frames a second
// pass.
struct FrameClock {
    TimePoint origin{};
    double originFrame = 0;
    double rate = 48000;
    double frameAt(TimePoint t) const { return originFrame + toSeconds(t - origin) * rate; }
};

// How far the device has played by the moment of a reading. Frames written less frames queued
// comes in steps (many devices report what they consumed a block at a time), so it lags the
// truth by up to a step. Where the device keeps a running count of its own and that is ahead,
// the count is taken, but no further than the stream can have played since the reading before
// the last step: a running count may lead the truth for a while after a start.
class PlayedFrames {
  public:
    struct Reading {
        double frames = 0;      // the frames played by the reading's moment, as well as known
        bool moved = false;     // frames written less frames queued changed since the last one
        std::int64_t step = 0;  // by how much
    };
    void restart(double rate);
    Reading read(const platform::StreamPosition& position);

  private:
    double rate_ = 48000;
    std::optional<std::int64_t> last_;  // the last reading of written less queued
    TimePoint lastAt_{};                // when it was taken
    TimePoint beforeStep_{};            // the reading before it last changed
};

// A stream that has just started or resumed may stand still for a few hundred milliseconds
// before it plays: what it reports before it is seen to move says nothing about when it will.
class StartGate {
  public:
    void restart() { open_ = false; }
    // Whether a reading counts: from the first that moved on.
    bool pass(bool moved) {
        open_ = open_ || moved;
        return open_;
    }

  private:
    bool open_ = false;
};

// A reading far from the timeline once may be odd; kFarInARow in a row mean the stream now plays
// elsewhere (it ran dry unnoticed, or stopped and went on): the timeline starts afresh there.
// Far is more than kFarSeconds ahead, or behind by more than that and the longest step seen,
// since readings lag by up to a step.
class JumpGuard {
  public:
    static constexpr double kFarSeconds = 0.030;
    static constexpr int kFarInARow = 2;
    enum class Verdict : std::uint8_t { Near, InDoubt, Moved };

    void restart() { far_ = 0; }
    Verdict judge(double estimate, double timeline, double longestStep, double rate);

  private:
    int far_ = 0;
};

// Readings lag the truth by up to a step and now and then come out early: the timeline follows
// the kRank-th highest of the last kWindow estimates (one early reading does not move it), and
// gives way to lower ones no faster than kGiveWayPerSecond, which is more than a sound card's
// clock drifts from the system's and much less than the lag of a step.
class LagFilter {
  public:
    static constexpr std::size_t kWindow = 32;
    static constexpr std::size_t kRank = 2;
    static constexpr double kGiveWayPerSecond = 150e-6;

    void restart(double estimate, TimePoint at);
    void add(double estimate, TimePoint at, double rate);
    double value() const { return value_; }

  private:
    std::array<double, kWindow> recent_{};
    std::size_t count_ = 0;
    std::size_t next_ = 0;
    double value_ = 0;
    TimePoint last_{};
};

// The parts above, in order: a reading's played frames, the start gate, the jump guard, the lag
// filter.
class StreamTimeline {
  public:
    void restart(int frameRate);
    void observe(const platform::StreamPosition& position);
    // Where the clock stands on the stream; nullopt before it is known and while it is in doubt.
    std::optional<FrameClock> clock() const;
    // Whether the stream has been seen to play since it started or resumed.
    bool moving() const { return known_; }

  private:
    double rate_ = 48000;
    PlayedFrames played_;
    StartGate gate_;
    JumpGuard guard_;
    LagFilter filter_;
    bool known_ = false;
    bool inDoubt_ = false;
    TimePoint origin_{};
    double longestStep_ = 0;
};

}  // namespace tone
