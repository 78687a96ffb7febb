#include <gtest/gtest.h>

#include <optional>

#include "tone/latency_follower.h"

namespace {

using tone::DelayEstimate;
using tone::LatencyFollower;

// The latency follows a sure estimate, between words, when it moved by more than jitter.
TEST(LatencyFollower, FollowsASureChangeBetweenWordsOnly) {
    const struct {
        const char* what;
        double latency;
        std::optional<DelayEstimate> estimate;
        bool betweenWords;
        std::optional<int> want;
    } cases[] = {
        {"no estimate", 250, std::nullopt, true, std::nullopt},
        {"a sure change between words", 250, DelayEstimate{262.4, 0.3}, true, 262},
        {"rounded to the millisecond", 250, DelayEstimate{237.6, 0.3}, true, 238},
        {"inside a character", 250, DelayEstimate{262.4, 0.3}, false, std::nullopt},
        {"jitter", 250, DelayEstimate{251.5, 0.3}, true, std::nullopt},
        {"a few ms is more than jitter", 250, DelayEstimate{255, 0.3}, true, 255},
        {"unsure", 250, DelayEstimate{300, 3}, true, std::nullopt},
        {"sure enough", 250, DelayEstimate{300, 0.8}, true, 300},
        {"from a guess far off", 2, DelayEstimate{612.2, 0.2}, true, 612},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LatencyFollower::next(c.latency, c.estimate, c.betweenWords), c.want) << c.what;
    }
}

// Listening to the monitor of the sidetone's own output would measure the sidetone itself.
TEST(LatencyFollower, TheSidetonesOwnMonitorIsKnown) {
    EXPECT_TRUE(tone::hearsItself("cwtest.monitor", "cwtest"));
    EXPECT_FALSE(tone::hearsItself("radio.monitor", "cwtest"));
    EXPECT_FALSE(tone::hearsItself("cwtest", "cwtest"));
    EXPECT_FALSE(tone::hearsItself(".monitor", ""));  // the default output: not known by name
}

}  // namespace
