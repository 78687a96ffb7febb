#include "radio_delay.h"

#include <algorithm>

namespace sim {

RadioDelay::RadioDelay(delays::DelaySchedule schedule, Time start)
    : schedule_(std::move(schedule)), start_(start), delay_(schedule_.at(Duration(0))) {}

Time RadioDelay::play(Time at, bool down, Duration spacingUnit) {
    if (down) {
        const auto wordGap = std::chrono::duration_cast<Duration>(spacingUnit * kWordGapUnits);
        if (!keyerUp_ || at - *keyerUp_ >= wordGap) {
            delay_ = schedule_.at(at - start_);
            if (playedUp_) {
                delay_ = std::max(delay_, *playedUp_ + wordGap - at);
            }
        }
        return at + delay_;
    }
    keyerUp_ = at;
    playedUp_ = at + delay_;
    return *playedUp_;
}

}  // namespace sim
