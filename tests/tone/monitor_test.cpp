#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "tone/monitor.h"

namespace {

using std::chrono::milliseconds;
using tone::Monitor;
using tone::PlayedCharacter;

constexpr double kUnit28 = 1.15 / 28;  // seconds

// A monitor on a clock the test moves by hand; the controls are plain values.
struct Rig {
    explicit Rig(milliseconds ahead = {}) : ahead(ahead) {}
    milliseconds ahead;
    double latency = 2;
    double speed = 28;
    int volume = -2000;
    std::vector<PlayedCharacter> played;
    std::vector<std::pair<std::uint64_t, double>> withdrawn;
    Monitor monitor{
        {[this] { return latency; }, [this] { return speed; }, [this] { return volume; }},
        [this](const PlayedCharacter& c) { played.push_back(c); },
        [this](std::uint64_t run, double offset) { withdrawn.emplace_back(run, offset); },
        ahead};
    milliseconds now{1000};

    void tick() { monitor.tick(now += milliseconds(1)); }
    // Ticks until the run is over; returns how many ticks that took.
    int runOut(int limit = 100000) {
        int n = 0;
        for (; monitor.needsTicks() && n < limit; ++n) {
            tick();
        }
        return n;
    }
};

TEST(Monitor, LatencyCountsTicksBeforeTheFirstCharacter) {
    const struct {
        const char* latency;
        double value;
        int ticksUntilPlayed;
    } cases[] = {{"2", 2, 2}, {"empty", 0, 1}, {"40", 40, 40}, {"2.5", 2.5, 3}};
    for (const auto& c : cases) {
        Rig rig;
        rig.latency = c.value;
        rig.monitor.appendToQueue("84");
        int ticks = 0;
        for (; rig.played.empty() && ticks < 100; ++ticks) {
            rig.tick();
        }
        EXPECT_EQ(ticks, c.ticksUntilPlayed) << c.latency;
        EXPECT_TRUE(rig.monitor.sendingBusy()) << c.latency;
    }
}

TEST(Monitor, CancelBeforeTheLatencyKeepsTheCount) {
    Rig rig;
    rig.latency = 5;
    rig.monitor.appendToQueue("84");
    rig.tick();
    rig.tick();
    rig.tick();
    rig.monitor.clearQueue();
    EXPECT_FALSE(rig.monitor.needsTicks());
    rig.tick();  // an empty queue counts nothing
    EXPECT_EQ(rig.monitor.latencyTicks(), 3);
    rig.monitor.appendToQueue("69");
    rig.tick();
    EXPECT_TRUE(rig.played.empty());
    rig.tick();
    ASSERT_EQ(rig.played.size(), 1u);
    rig.runOut();
    EXPECT_EQ(rig.monitor.latencyTicks(), 0);  // back to 0 at the end of the run
}

TEST(Monitor, SpeedAndVolumeAreReadForEachCharacterWhenThePreviousIsOver) {
    Rig rig;
    rig.latency = 0;
    rig.monitor.replaceQueue("6969");
    rig.tick();
    const auto start = rig.now;
    rig.speed = 20;
    rig.volume = 0;
    while (rig.played.size() == 1) {
        rig.tick();
    }
    // E is 4 units = 164.3 ms at 28 wpm: the second E goes on the first tick at or after it.
    EXPECT_EQ(rig.now - start, milliseconds(165));
    ASSERT_EQ(rig.played.size(), 2u);
    EXPECT_NEAR(rig.played[0].schedule.marks[0].length, kUnit28, 1e-12);
    EXPECT_NEAR(rig.played[1].schedule.marks[0].length, 1.15 / 20, 1e-12);
    EXPECT_EQ(rig.played[0].volume, -2000);
    EXPECT_EQ(rig.played[1].volume, 0);
    EXPECT_NEAR(rig.played[1].offset, 4 * kUnit28, 1e-12);
}

// With a hand-over ahead, the next character reaches the sidetone early but leaves the queue
// only when the current one is over; what changed meanwhile is withdrawn and replaced.
TEST(Monitor, NextCharacterIsHandedOverAheadAndWithdrawnWhenItChanges) {
    const struct {
        const char* change;
        std::size_t played;     // characters handed over in all
        std::size_t withdrawn;  // withdrawals, each at the end of the first E
    } cases[] = {{"none", 2, 0}, {"cancel", 2, 1}, {"other character", 3, 1}, {"speed", 3, 1}};
    for (const auto& c : cases) {
        const std::string change = c.change;
        Rig rig(milliseconds(50));
        Monitor& monitor = rig.monitor;
        rig.latency = 0;
        monitor.replaceQueue("6969");
        monitor.tick(rig.now);
        const auto end = rig.now + milliseconds(165);  // E is 164.3 ms at 28 wpm
        // The next tick is wanted 50 ms before the E is over (164285714 ns), not before.
        EXPECT_EQ(*monitor.nextTickDue() - rig.now, std::chrono::nanoseconds(114285714)) << change;
        monitor.tick(end - milliseconds(51));
        EXPECT_EQ(rig.played.size(), 1u) << change;
        monitor.tick(end - milliseconds(50));
        ASSERT_EQ(rig.played.size(), 2u) << change;
        EXPECT_NEAR(rig.played[1].offset, 4 * kUnit28, 1e-12) << change;
        EXPECT_EQ(monitor.monitorQueue(), "69") << change;  // still queued: a cancel reaches it
        if (change == "cancel") {
            monitor.clearQueue();
        } else if (change == "other character") {
            monitor.replaceQueue("84");
        } else if (change == "speed") {
            rig.speed = 20;
        }
        monitor.tick(end - milliseconds(10));
        monitor.tick(end);
        EXPECT_EQ(rig.played.size(), c.played) << change;
        ASSERT_EQ(rig.withdrawn.size(), c.withdrawn) << change;
        for (const auto& [run, offset] : rig.withdrawn) {
            EXPECT_EQ(run, rig.played[0].run) << change;
            EXPECT_NEAR(offset, 4 * kUnit28, 1e-12) << change;
        }
        EXPECT_TRUE(monitor.monitorQueue().empty()) << change;
        EXPECT_EQ(monitor.sendingBusy(), change != "cancel") << change;
    }
}

TEST(Monitor, CodesAppendedDuringARunFollowWithoutNewLatency) {
    Rig rig;
    rig.latency = 30;
    rig.monitor.appendToQueue("8469");
    while (rig.played.empty()) {
        rig.tick();
    }
    rig.monitor.appendToQueue("83");  // S arrives while T plays
    rig.runOut();
    ASSERT_EQ(rig.played.size(), 3u);
    EXPECT_EQ(rig.played[2].run, rig.played[0].run);
    // After the run a new burst waits the latency again, in a new run.
    rig.monitor.appendToQueue("84");
    for (int i = 0; i < 29; ++i) {
        rig.tick();
    }
    EXPECT_EQ(rig.played.size(), 3u);
    rig.tick();
    ASSERT_EQ(rig.played.size(), 4u);
    EXPECT_NE(rig.played[3].run, rig.played[0].run);
}

TEST(Monitor, LowCodesAndLoneDigitsAreDroppedWithoutPause) {
    const struct {
        std::string queue;
        std::size_t played;
    } cases[] = {{"2084", 1}, {"842", 1}, {"8", 0}, {"0020", 0}, {"299784", 2}, {"8a84", 1}};
    for (const auto& c : cases) {
        Rig rig;
        rig.latency = 0;
        rig.monitor.replaceQueue(c.queue);
        rig.tick();
        // Dropped codes take no time: whatever plays first starts the run.
        if (c.played > 0) {
            ASSERT_FALSE(rig.played.empty()) << c.queue;
            EXPECT_EQ(rig.played[0].offset, 0) << c.queue;
        } else {
            EXPECT_FALSE(rig.monitor.needsTicks()) << c.queue;
        }
        rig.runOut();
        EXPECT_EQ(rig.played.size(), c.played) << c.queue;
    }
}

TEST(Monitor, QueueIsCutTo1026AtTheTake) {
    Rig rig;
    rig.latency = 0;
    std::string queue;
    for (int i = 0; i < 600; ++i) {
        queue += "69";
    }
    rig.monitor.replaceQueue(queue);
    rig.tick();
    EXPECT_EQ(rig.monitor.monitorQueue().size(), 1024u);
    rig.runOut(10000000);
    EXPECT_EQ(rig.played.size(), 513u);
}

TEST(Monitor, UnusableSpeedsSkipCharactersAndNeverHang) {
    for (double speed : {0.0, -5.0, 1e-9, 0.001, std::numeric_limits<double>::infinity(),
                         std::numeric_limits<double>::quiet_NaN()}) {
        Rig rig;
        rig.latency = 0;
        rig.speed = speed;
        rig.monitor.replaceQueue("84698384");
        EXPECT_LT(rig.runOut(), 5) << speed;
        EXPECT_TRUE(rig.played.empty()) << speed;
    }
}

}  // namespace
