#include "delay_line.h"

#include <algorithm>

namespace delays {

DelayLine::DelayLine(DelaySchedule schedule, Time start)
    : schedule_(std::move(schedule)), start_(start) {}

void DelayLine::push(std::string bytes, Time arrived) {
    if (bytes.empty()) {
        return;
    }
    Time release = arrived + schedule_.at(arrived - start_);
    if (lastRelease_) {
        release = std::max(release, *lastRelease_);
    }
    lastRelease_ = release;
    chunks_.push_back({release, std::move(bytes)});
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
