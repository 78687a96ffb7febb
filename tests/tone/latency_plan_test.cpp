#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tone/latency_plan.h"

namespace {

using tone::LatencyPlan;

double ms(tone::TimePoint t) {
    return static_cast<double>(t.count()) / 1e6;
}

// The latency shifts the keyer's timeline; marks go to the audio thread as far ahead as the
// latency, but at least the output's delay and 100 ms and at most 2 s; the buffer may be as long
// as the latency less 60 ms, up to 300 ms.
TEST(LatencyPlan, TheLatencyGivesTheShiftTheHandOverAndTheBuffer) {
    const double unknown = std::numeric_limits<double>::quiet_NaN();
    const struct {
        double latencyMs;
        double delay;  // s
        double shift, ahead, buffer;
    } cases[] = {
        {300, 0.140, 300, 300, 0.240},
        {2, 0.080, 2, 180, 0},
        {100, 0.080, 100, 180, 0.040},
        {100, unknown, 100, 200, 0.040},  // the delay taken as 100 ms until known
        {1000, 0.200, 1000, 1000, 0.300},
        {60000, 0.200, 60000, 2000, 0.300},
        {-5, 0.080, 0, 180, 0},
        {unknown, 0.080, 0, 180, 0},
        {1e12, 0.080, 3600e3, 2000, 0.300},  // held at an hour
        {1, 2.5, 1, 2600, 0},                // a delay beyond the most still gets its margin
    };
    for (const auto& c : cases) {
        const LatencyPlan p = LatencyPlan::of(c.latencyMs, c.delay);
        EXPECT_NEAR(ms(p.shift), c.shift, 1e-6) << c.latencyMs;
        EXPECT_NEAR(ms(p.handOverAhead), c.ahead, 1e-6) << c.latencyMs << " " << c.delay;
        EXPECT_NEAR(p.bufferSeconds, c.buffer, 1e-9) << c.latencyMs;
    }
}

}  // namespace
