#include "tone/latency_plan.h"

#include <algorithm>
#include <cmath>

namespace tone {

LatencyPlan LatencyPlan::of(double latencyMs, double outputDelay) {
    const double seconds =
        std::isnan(latencyMs) ? 0 : std::clamp(latencyMs, 0.0, kLongestLatencyMs) / 1000;
    const double delay = outputDelay >= 0 ? outputDelay : kDelayBeforeKnown;
    LatencyPlan plan;
    plan.shift = fromSeconds(seconds);
    plan.handOverAhead =
        fromSeconds(std::max(delay + kHandOverMargin, std::min(seconds, kHandOverMost)));
    plan.bufferSeconds = std::clamp(seconds - kBufferBelowLatency, 0.0, kLongestBuffer);
    return plan;
}

}  // namespace tone
