#include "tone/latency_follower.h"

#include <cmath>
#include <string>

namespace tone {

std::optional<int> LatencyFollower::next(double latencyMs,
                                         const std::optional<DelayEstimate>& estimate,
                                         bool betweenWords) {
    if (!betweenWords || !estimate || estimate->plusMinusMs > kMostUncertainMs ||
        std::abs(estimate->delayMs - latencyMs) < kLeastChangeMs) {
        return std::nullopt;
    }
    return static_cast<int>(std::lround(estimate->delayMs));
}

bool hearsItself(const std::string& inputId, const std::string& outputId) {
    return !outputId.empty() && inputId == outputId + ".monitor";
}

}  // namespace tone
