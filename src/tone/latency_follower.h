#pragma once

#include <optional>
#include <string>

#include "tone/delay_estimator.h"

// Following the radio's measured delay with the latency, smoothly and only between words.
// Pure.
namespace tone {

struct LatencyFollower {
    // A change smaller than this is jitter: the latency stays.
    static constexpr double kLeastChangeMs = 2;
    // An estimate less sure than this (its standard error) is not followed.
    static constexpr double kMostUncertainMs = 1;

    // The latency to take now, in whole milliseconds, given the one in force, the newest estimate
    // and whether the keyer is between words; nullopt: keep the latency.
    static std::optional<int> next(double latencyMs, const std::optional<DelayEstimate>& estimate,
                                   bool betweenWords);
};

// Whether a sound input is the monitor of the output the sidetone plays into (PulseAudio names
// it after the output with ".monitor"): listening to it, Vantrel would hear itself.
bool hearsItself(const std::string& inputId, const std::string& outputId);

}  // namespace tone
