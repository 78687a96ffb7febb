#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <optional>

#include "tone/stream_timeline.h"

namespace {

using platform::StreamPosition;
using tone::TimePoint;

constexpr int kRate = 48000;

TimePoint ms(double v) {
    return TimePoint(std::llround(v * 1e6));
}
std::int64_t frames(double v) {
    return std::llround(v * kRate / 1000);
}

// A reading at `atMs` of a stream that has played `playedMs` and is reported as having played
// `reportedMs` (written 300 ms ahead of that); `ownMs` is the device's own count (-1: none).
StreamPosition reading(double atMs, double reportedMs, double ownMs = -1) {
    const std::int64_t written = frames(reportedMs + 300);
    return {ms(atMs), written, written - frames(reportedMs), ownMs < 0 ? -1 : frames(ownMs)};
}

// The frame the timeline says plays at `atMs`, against the truth `playedMs`, in ms.
double errorMs(const tone::StreamTimeline& t, double atMs, double playedMs) {
    const std::optional<tone::FrameClock> c = t.clock();
    return c ? (c->frameAt(ms(atMs)) - static_cast<double>(frames(playedMs))) / 48 : 1e9;
}

// Written less queued is what the reading says; the device's own count is taken where it is
// ahead, but not beyond what can have played since the reading before the last step, nor
// beyond what was written.
TEST(PlayedFrames, TheDevicesOwnCountIsTakenWhereAheadButCapped) {
    tone::PlayedFrames p;
    p.restart(kRate);
    EXPECT_EQ(p.read(reading(0, 0)).frames, 0);
    EXPECT_FALSE(p.read(reading(10, 0)).moved);
    const auto stepped = p.read(reading(20, 20));  // a step of 20 ms after the reading at 10
    EXPECT_TRUE(stepped.moved);
    EXPECT_EQ(stepped.step, frames(20));
    EXPECT_EQ(p.read(reading(25, 20, 24)).frames, frames(24));  // the own count, ahead
    EXPECT_EQ(p.read(reading(26, 20, 18)).frames, frames(20));  // behind: the steps
    // 60 ms ahead, but only 20 ms can have played since the reading at 10: 20 + 20.
    EXPECT_EQ(p.read(reading(30, 20, 80)).frames, frames(40));
    // Never more than was written.
    EXPECT_EQ(p.read({ms(30), frames(30), frames(10), frames(80)}).frames, frames(30));
}

// Before the stream is seen to move, its readings say nothing; then the timeline begins.
TEST(StreamTimeline, StartsWhenTheStreamIsSeenToMove) {
    tone::StreamTimeline t;
    t.restart(kRate);
    t.observe(reading(0, 0));
    t.observe(reading(150, 0));  // standing still after it started
    EXPECT_FALSE(t.clock());
    EXPECT_FALSE(t.moving());
    t.observe(reading(200, 10));
    EXPECT_TRUE(t.moving());
    EXPECT_NEAR(errorMs(t, 200, 10), 0, 0.01);
}

// A timeline on a stream that plays exactly, read every 10 ms from 0 on.
tone::StreamTimeline steady(double untilMs) {
    tone::StreamTimeline t;
    t.restart(kRate);
    t.observe(reading(0, 0));
    for (double at = 10; at <= untilMs; at += 10) {
        t.observe(reading(at, at));
    }
    return t;
}

// One reading far off (30 ms, plus the longest step behind) is in doubt: nothing new is placed
// and the timeline stays; two in a row mean the stream moved, and the timeline starts there.
TEST(JumpGuard, OneFarReadingIsInDoubtTwoMoveTheTimeline) {
    const struct {
        const char* what;
        double off;  // ms the stream is found later (-) or earlier (+)
        bool twice;
        bool inDoubt;  // after the first
        double error;  // after the second, against the old truth
    } cases[] = {
        {"20 ms early once is near", 20, false, false, 0},
        {"one odd reading 100 ms early", 100, false, true, 0},
        {"100 ms early twice: the stream moved", 100, true, true, 100},
        {"40 ms early twice: the stream moved", 40, true, true, 40},
        {"100 ms late twice: the stream moved", -100, true, true, -100},
    };
    for (const auto& c : cases) {
        tone::StreamTimeline t = steady(500);
        t.observe(reading(510, 510 + c.off));
        EXPECT_EQ(!t.clock(), c.inDoubt) << c.what;
        t.observe(reading(520, c.twice ? 520 + c.off : 520));
        ASSERT_TRUE(t.clock()) << c.what;
        EXPECT_NEAR(errorMs(t, 520, 520), c.error, 0.01) << c.what;
    }
}

TEST(JumpGuard, ReadingsLaggingByAStepAreNear) {
    tone::JumpGuard g;
    const double step = frames(50);
    EXPECT_EQ(g.judge(-frames(75), 0, step, kRate), tone::JumpGuard::Verdict::Near);
    EXPECT_EQ(g.judge(-frames(85), 0, step, kRate), tone::JumpGuard::Verdict::InDoubt);
    EXPECT_EQ(g.judge(frames(31), 0, step, kRate), tone::JumpGuard::Verdict::Moved);
}

// One reading that comes out early does not move the timeline; two within the window do. Two
// far apart are two odd readings.
TEST(LagFilter, FollowsTheSecondHighestOfTheRecentReadings) {
    const struct {
        int apart;  // readings between the two early ones
        double moved;
    } cases[] = {{5, 5}, {100, 0}};
    for (const auto& c : cases) {
        tone::LagFilter f;
        f.restart(0, ms(0));
        double at = 0;
        const auto add = [&](double value) { f.add(frames(value), ms(at += 10), kRate); };
        add(5);
        for (int i = 0; i < c.apart; ++i) {
            add(0);
        }
        add(5);
        EXPECT_NEAR(f.value() / 48, c.moved, 0.05) << c.apart;
    }
}

// Readings that all lag alike (taken in step with the device's own updates) pull the timeline
// down no faster than 150 ppm; a device whose clock runs slow by 100 ppm is still followed.
TEST(LagFilter, GivesWayOnlyAsFastAsClocksDrift) {
    tone::LagFilter lagging;
    lagging.restart(0, ms(0));
    for (double at = 10; at <= 5000; at += 10) {
        lagging.add(-frames(10), ms(at), kRate);  // every reading 10 ms behind
    }
    EXPECT_NEAR(lagging.value() / 48, -0.75, 0.05);  // 150 ppm of 5 s

    tone::LagFilter slow;
    slow.restart(0, ms(0));
    for (double at = 10; at <= 60000; at += 10) {
        slow.add(-at * 100e-6 * 48, ms(at), kRate);
    }
    EXPECT_NEAR(slow.value() / 48, -6.0, 0.1);
}

}  // namespace
