#pragma once

#include <chrono>
#include <optional>
#include <string_view>
#include <vector>

// A delay that can change during a run: a starting value and steps, each "from this many
// seconds after the start on, the delay is this". The simulated radio and the delaying proxy
// both take theirs from the command line in this form.
namespace delays {

using Duration = std::chrono::nanoseconds;

struct Step {
    Duration at;     // after the start
    Duration delay;  // in effect from `at` on
    bool operator==(const Step&) const = default;
};

// The longest delay either tool takes: an hour.
inline constexpr double kLongestDelayMs = 3600e3;

// A delay in milliseconds ("250", "12.5"), from 0 to kLongestDelayMs; nullopt otherwise.
std::optional<Duration> parseDelayMs(std::string_view text);
// A step written "AT_S:MS" ("12.5:400": from 12.5 s on, 400 ms); nullopt when malformed.
std::optional<Step> parseStep(std::string_view text);

class DelaySchedule {
  public:
    explicit DelaySchedule(Duration initial = {}, std::vector<Step> steps = {});

    // The delay in effect `sinceStart` after the start: that of the latest step at or before
    // it (of two at the same moment, the one given last), else the starting value.
    Duration at(Duration sinceStart) const;
    const std::vector<Step>& steps() const { return steps_; }

  private:
    Duration initial_;
    std::vector<Step> steps_;  // in time order
};

}  // namespace delays
