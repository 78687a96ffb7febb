#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <set>

#include "tone/output_policy.h"

namespace {

using platform::OutputStep;
using tone::OutputPolicy;

constexpr int kRate = 48000;
using Then = OutputStep::Then;

// A stream filled every `everyMs`, 10 ms of sound each time, its queue at `queuedShare` of the
// buffer when it is filled.
struct Stream {
    OutputPolicy policy;
    double nowMs = 0;
    double everyMs = 10;
    double queuedShare = 0.5;

    // Opens a stream the device grants `grant(asked)` for.
    template <typename Grant>
    void open(Grant grant) {
        const double asked = policy.askSeconds();
        policy.started(kRate, std::llround(grant(asked) * kRate));
    }
    void open() {
        open([](double asked) { return asked; });
    }
    OutputStep fill(bool quiet, bool moving = true, std::size_t frames = 480) {
        nowMs += everyMs;
        const auto queued = std::llround(queuedShare * policy.grantedSeconds() * kRate);
        return policy.next({std::chrono::nanoseconds(std::llround(nowMs * 1e6)), 0, queued}, frames,
                           quiet, moving);
    }
    // Fills with nothing to key until the stream rests or reopens; how many fills that took.
    int fillsToRest(std::size_t frames = 480) {
        for (int n = 1; n < 100000; ++n) {
            if (fill(true, true, frames).then != Then::Refill) {
                return n;
            }
        }
        return -1;
    }
};

// Two seconds of silence after the last keying, and the stream rests.
TEST(OutputPolicy, AStreamRestsAfterTwoSecondsOfSilence) {
    Stream run;
    run.open();
    run.fill(false);
    EXPECT_EQ(run.fillsToRest(), 200);  // 200 fills of 10 ms
    run.policy.resumed();
    EXPECT_EQ(run.fill(false).then, Then::Refill);
    for (int i = 0; i < 150; ++i) {
        run.fill(true);
    }
    run.fill(false);  // keying again: the silence counts afresh
    EXPECT_EQ(run.fillsToRest(), 200);

    // A device that stands still plays no frames: its silence counts on the clock.
    Stream still;
    still.open();
    still.fill(false);
    EXPECT_EQ(still.fillsToRest(0), 201);  // from the first silent fill, 200 fills of 10 ms
}

// Fills come 6 to 14 ms apart, at scattered moments; every millisecond until a started stream is
// seen to play.
TEST(OutputPolicy, FillsComeAtScatteredMomentsAndQuicklyWhileStarting) {
    Stream run;
    run.open();
    EXPECT_EQ(run.fill(false, false).refillInMs, 1);
    std::set<int> seen;
    double sum = 0;
    for (int i = 0; i < 400; ++i) {
        const int ms = run.fill(false).refillInMs;
        EXPECT_GE(ms, 6);
        EXPECT_LE(ms, 14);
        seen.insert(ms);
        sum += ms;
    }
    EXPECT_GE(seen.size(), 7u);
    EXPECT_NEAR(sum / 400, 10, 0.5);
}

// The buffer: the latency's, at least 80 ms, at most 300 ms.
TEST(OutputPolicy, TheBufferIsTheLatencysWithinAFloorAndACeiling) {
    const struct {
        double latencyBuffer;
        double wanted;
    } cases[] = {{0, 0.080}, {0.050, 0.080}, {0.200, 0.200}, {1.0, 0.300}};
    for (const auto& c : cases) {
        OutputPolicy p;
        p.setLatencyBuffer(c.latencyBuffer);
        EXPECT_DOUBLE_EQ(p.wantedSeconds(), c.wanted) << c.latencyBuffer;
        EXPECT_DOUBLE_EQ(p.askSeconds(), c.wanted) << c.latencyBuffer;
    }
}

// Trouble (the device ran dry; its queue fell below a tenth of the buffer; a fill came later
// than half the buffer) grows the buffer by half at the next rest; none leaves it as it is.
TEST(OutputPolicy, TroubleGrowsTheBufferAtTheNextRest) {
    const struct {
        const char* what;
        bool ranDry;
        double queuedShare;
        double fillGapMs;
        bool grows;
    } cases[] = {
        {"calm", false, 0.5, 10, false},
        {"ran dry", true, 0.5, 10, true},
        {"queue at 5 %", false, 0.05, 10, true},
        {"queue at 15 %", false, 0.15, 10, false},
        {"a fill 50 ms late on 80 ms", false, 0.5, 50, true},
        {"a fill 30 ms late on 80 ms", false, 0.5, 30, false},
    };
    for (const auto& c : cases) {
        Stream run;
        run.open();
        run.fill(false);
        run.queuedShare = c.queuedShare;
        run.everyMs = c.fillGapMs;
        run.fill(false);
        run.queuedShare = 0.5;
        run.everyMs = 10;
        if (c.ranDry) {
            run.policy.ranDry();
        }
        run.fillsToRest();
        EXPECT_NEAR(run.policy.wantedSeconds(), c.grows ? 0.120 : 0.080, 1e-9) << c.what;
        EXPECT_EQ(run.policy.underruns(), c.ranDry ? 1 : 0) << c.what;
    }
}

// The grown buffer is asked for when the stream rests (it opens again), and after ten minutes
// of sound without trouble it comes down a step.
TEST(OutputPolicy, AGrownBufferIsTakenAtARestAndComesDownAfterTenCalmMinutes) {
    Stream run;
    run.open();
    run.fill(false);
    run.policy.ranDry();
    OutputStep s;
    while ((s = run.fill(true)).then == Then::Refill) {
    }
    EXPECT_EQ(s.then, Then::Reopen);
    run.open();
    EXPECT_NEAR(run.policy.grantedSeconds(), 0.120, 1e-4);
    for (int i = 0; i < 30000; ++i) {  // five minutes
        run.fill(false);
    }
    EXPECT_NEAR(run.policy.wantedSeconds(), 0.120, 1e-9);
    for (int i = 0; i < 30000; ++i) {  // five more
        run.fill(false);
    }
    EXPECT_NEAR(run.policy.wantedSeconds(), 0.080, 1e-9);
    run.fillsToRest();
    EXPECT_NEAR(run.policy.askSeconds(), 0.080, 1e-9);
}

// A device that grants about half of what is asked (as PulseAudio does here, plus 20 ms) gets a
// larger ask at the next rest, until what it grants is within a tenth of what is wanted; one
// that grants almost nothing is asked at most four times the buffer.
TEST(OutputPolicy, TheAskFollowsWhatTheDeviceGrants) {
    Stream run;
    run.policy.setLatencyBuffer(0.240);
    const auto halfAndAbit = [](double asked) { return asked / 2 + 0.020; };
    run.open(halfAndAbit);
    EXPECT_NEAR(run.policy.grantedSeconds(), 0.140, 1e-4);
    run.fillsToRest();
    EXPECT_GT(run.policy.askSeconds(), 0.4);
    run.open(halfAndAbit);
    EXPECT_GT(run.policy.grantedSeconds(), 0.216);  // within a tenth of 240 ms: it stays
    const double asked = run.policy.askSeconds();
    run.fill(false);
    OutputStep s;
    while ((s = run.fill(true)).then == Then::Refill) {
    }
    EXPECT_EQ(s.then, Then::Rest);
    EXPECT_DOUBLE_EQ(run.policy.askSeconds(), asked);

    Stream stingy;
    stingy.open([](double asked) { return asked / 10; });
    EXPECT_DOUBLE_EQ(stingy.policy.askSeconds(), 4 * 0.080);
}

}  // namespace
