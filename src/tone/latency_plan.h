#pragma once

#include "tone/sidetone_contract.h"

// What the operator's latency means to the sound. Pure: the monitor plans with it.
namespace tone {

struct LatencyPlan {
    // The longest latency taken (an hour); longer ones, and ones that are not numbers, are held.
    static constexpr double kLongestLatencyMs = 3600e3;
    // Characters are handed to the audio thread as far ahead as the latency (nothing the keyer
    // can still receive changes what starts within it), but at least the output's delay and
    // kHandOverMargin (a window thread this late still keeps the sidetone on time), and at most
    // kHandOverMost. Until the output has said its delay, kDelayBeforeKnown is taken.
    static constexpr double kHandOverMargin = 0.1;
    static constexpr double kHandOverMost = 2.0;
    static constexpr double kDelayBeforeKnown = 0.1;
    // The output's buffer may be as long as the latency less kBufferBelowLatency, so that a
    // character handed over when the keyer gets it still sounds on time, up to kLongestBuffer.
    static constexpr double kBufferBelowLatency = 0.060;
    static constexpr double kLongestBuffer = 0.300;

    TimePoint shift{};          // the keyer's timeline + this = the sidetone's
    TimePoint handOverAhead{};  // marks that start this soon go to the audio thread now
    double bufferSeconds = 0;   // the longest buffer that keeps the latency

    // `latencyMs` as the operator gave it; `outputDelay` in seconds, NaN while not known.
    static LatencyPlan of(double latencyMs, double outputDelay);
};

}  // namespace tone
