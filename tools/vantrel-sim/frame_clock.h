#pragma once

#include <cstdint>

#include "sim_clock.h"

namespace sim {

// Which moment of the monotonic clock each frame of the radio's output stream is played at,
// from the sound server's own reports: after each write, "the next frame written plays after
// this latency". The reports jitter by the scheduling around them, and the server's clock runs
// a little apart from the system's; the clock follows them smoothly and starts afresh after a
// jump (a stream that stalls at its start, or runs dry under load).
class FrameClock {
  public:
    // Each report moves the estimate this share of the way to itself.
    static constexpr double kShare = 1.0 / 16;
    // A report this far from the estimate is doubted; so many in a row are a jump.
    static constexpr double kJumpSeconds = 0.005;
    static constexpr int kJumpInARow = 3;

    explicit FrameClock(int frameRate) : rate_(frameRate) {}

    // The frame `frame` plays at `at`, says the server.
    void report(std::int64_t frame, Time at);
    bool known() const { return known_; }
    // The (fractional) frame that plays at `t`, and the moment `frame` plays.
    double frameAt(Time t) const;
    Time timeOf(double frame) const;

  private:
    int rate_;
    bool known_ = false;
    double zero_ = 0;  // when frame 0 plays: nanoseconds of the monotonic clock
    int far_ = 0;
};

}  // namespace sim
