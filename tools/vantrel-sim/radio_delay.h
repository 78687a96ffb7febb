#pragma once

#include <optional>

#include "delay_schedule.h"
#include "sim_clock.h"

namespace sim {

// When the simulated radio plays each of the keyer's key edges: the keyer's moment plus the
// delay, the delay taken from the schedule at the keyer edge's moment. A new delay starts with
// a word, never inside one, so that a step does not stretch or cut a character: it is taken at
// the first key-down that follows a silence of at least a word gap. A shorter delay never lets
// a word sound before the one before it has ended and a word gap has passed; the cut is then
// taken a word gap at a time.
class RadioDelay {
  public:
    // A silence this many spacing units long or longer separates two words (the keyer leaves 3
    // between letters and 7 between words).
    static constexpr double kWordGapUnits = 5;

    RadioDelay(delays::DelaySchedule schedule, Time start);

    // The moment the radio plays a key edge that the keyer keyed at `at`; `spacingUnit` is the
    // keyer's spacing unit at that moment. Edges come in time order.
    Time play(Time at, bool down, Duration spacingUnit);
    // The delay the edges are played with now.
    Duration current() const { return delay_; }

  private:
    delays::DelaySchedule schedule_;
    Time start_;
    Duration delay_;
    std::optional<Time> keyerUp_;   // the keyer's last key-up
    std::optional<Time> playedUp_;  // when the radio played it
};

}  // namespace sim
