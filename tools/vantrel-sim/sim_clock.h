#pragma once

#include <chrono>

namespace sim {

// The simulated peers take time as an argument; the program passes the monotonic clock.
using Clock = std::chrono::steady_clock;
using Time = Clock::time_point;
using Duration = std::chrono::nanoseconds;

}  // namespace sim
