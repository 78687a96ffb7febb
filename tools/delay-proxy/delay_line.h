#pragma once

#include <chrono>
#include <deque>
#include <optional>
#include <string>

#include "delay_schedule.h"

namespace delays {

using Clock = std::chrono::steady_clock;
using Time = Clock::time_point;

// One direction of the delaying proxy: bytes go in as they arrive and come out the delay
// later, unchanged and in order. The delay is the schedule's at the moment the bytes arrive;
// when it steps down, later bytes wait for the earlier ones instead of overtaking them.
class DelayLine {
  public:
    DelayLine(DelaySchedule schedule, Time start);

    void push(std::string bytes, Time arrived);
    // When the next bytes are due to go out; nullopt when nothing waits.
    std::optional<Time> due() const;
    // Every byte due by `now`, in the order they came.
    std::string take(Time now);
    bool empty() const { return chunks_.empty(); }

  private:
    struct Chunk {
        Time release;
        std::string bytes;
    };
    DelaySchedule schedule_;
    Time start_;
    std::deque<Chunk> chunks_;
};

}  // namespace delays
