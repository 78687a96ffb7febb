#include "delay_line.h"

namespace delays {

DelayLine::DelayLine(DelaySchedule schedule, Time start)
    : schedule_(std::move(schedule)), start_(start) {}

void DelayLine::push(std::string bytes, Time arrived) {
    if (bytes.empty()) {
        return;
    }
    // Bytes go out in the order they came: a chunk whose time has come still waits behind an
    // earlier one that has a longer delay.
    chunks_.push_back({arrived + schedule_.at(arrived - start_), std::move(bytes)});
}

std::optional<Time> DelayLine::due() const {
    if (chunks_.empty()) {
        return std::nullopt;
    }
    return chunks_.front().release;
}

std::string DelayLine::take(Time now) {
    std::string out;
    while (!chunks_.empty() && chunks_.front().release <= now) {
        out += chunks_.front().bytes;
        chunks_.pop_front();
    }
    return out;
}

}  // namespace delays
