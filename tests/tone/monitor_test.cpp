#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tone/monitor.h"

namespace {

using std::chrono::milliseconds;
using tone::Monitor;
using tone::PlayedCharacter;

// A monitor on a clock the test moves by hand; the controls are plain values.
struct Rig {
    double latency = 2;
    double speed = 28;
    int volume = -2000;
    std::vector<PlayedCharacter> played;
    Monitor monitor{
        {[this] { return latency; }, [this] { return speed; }, [this] { return volume; }},
        [this](const PlayedCharacter& c) { played.push_back(c); }};
    milliseconds now{1000};

    void tick() {
        now += milliseconds(1);
        monitor.tick(now);
    }
    // Ticks until the run is over; returns how many ticks that took.
    int runOut(int limit = 100000) {
        int n = 0;
        while (monitor.needsTicks() && n < limit) {
            tick();
            ++n;
        }
        return n;
    }
};

// Units per character at 28 wpm, by pattern: marks + gaps + closing gap.
double unitSeconds(double wpm) {
    return 1.15 / wpm;
}

TEST(Monitor, LatencyCountsTicksBeforeTheFirstCharacter) {
    struct Case {
        const char* latency;
        double value;
        int ticksUntilPlayed;
    } cases[] = {{"2", 2, 2}, {"empty", 0, 1}, {"0", 0, 1}, {"40", 40, 40}, {"2.5", 2.5, 3}};
    for (const Case& c : cases) {
        Rig rig;
        rig.latency = c.value;
        rig.monitor.appendToQueue("84");
        int ticks = 0;
        while (rig.played.empty() && ticks < 100) {
            rig.tick();
            ++ticks;
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

TEST(Monitor, TestPlaysAsOneRunBackToBack) {
    Rig rig;
    rig.monitor.replaceQueue("84698384");
    rig.runOut();
    ASSERT_EQ(rig.played.size(), 4u);
    const double u = unitSeconds(28);
    // T, E, S, T take 6 + 4 + 8 + 6 units; each starts where the one before ended.
    const double starts[] = {0, 6, 10, 18};
    const std::size_t marks[] = {1, 1, 3, 1};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(rig.played[i].run, rig.played[0].run);
        EXPECT_NEAR(rig.played[i].offset, starts[i] * u, 1e-9) << i;
        EXPECT_EQ(rig.played[i].schedule.markCount, marks[i]) << i;
        EXPECT_EQ(rig.played[i].volume, -2000);
    }
    EXPECT_NEAR(rig.played[3].offset + rig.played[3].schedule.duration, 0.98571, 1e-4);
}

TEST(Monitor, NextCharacterIsTakenWhenThePreviousIsOver) {
    Rig rig;
    rig.latency = 0;
    rig.monitor.replaceQueue("6969");
    rig.tick();
    const auto start = rig.now;
    ASSERT_EQ(rig.played.size(), 1u);
    while (rig.played.size() == 1) {
        rig.tick();
    }
    // E is 4 units = 164.3 ms at 28 wpm: the second E goes on the first tick at or after it.
    EXPECT_EQ(rig.now - start, milliseconds(165));
}

// With a hand-over ahead, the next character reaches the sidetone early but leaves the queue
// only when the current one is over; what changed meanwhile is withdrawn and replaced.
TEST(Monitor, NextCharacterIsHandedOverAheadAndWithdrawnWhenItChanges) {
    enum class Change { None, Cancel, OtherCharacter, OtherSpeed };
    struct Case {
        const char* name;
        Change change;
        std::size_t played;     // characters handed over in all
        std::size_t withdrawn;  // withdrawals, each at the end of the first E
    } cases[] = {{"none", Change::None, 2, 0},
                 {"cancel", Change::Cancel, 2, 1},
                 {"other character", Change::OtherCharacter, 3, 1},
                 {"other speed", Change::OtherSpeed, 3, 1}};
    for (const Case& c : cases) {
        Rig rig;
        std::vector<std::pair<std::uint64_t, double>> withdrawn;
        Monitor monitor(
            {[] { return 0.0; }, [&] { return rig.speed; }, [] { return 0; }},
            [&](const PlayedCharacter& p) { rig.played.push_back(p); },
            [&](std::uint64_t run, double offset) { withdrawn.emplace_back(run, offset); },
            milliseconds(50));
        monitor.replaceQueue("6969");
        monitor.tick(rig.now);
        const auto start = rig.now;
        const auto end = start + milliseconds(165);  // E is 164.3 ms at 28 wpm
        // The next tick is wanted 50 ms before the E is over (164285714 ns), not before.
        EXPECT_EQ(*monitor.nextTickDue() - start, std::chrono::nanoseconds(114285714)) << c.name;
        monitor.tick(end - milliseconds(51));
        EXPECT_EQ(rig.played.size(), 1u) << c.name;
        monitor.tick(end - milliseconds(50));
        ASSERT_EQ(rig.played.size(), 2u) << c.name;
        EXPECT_NEAR(rig.played[1].offset, 4 * unitSeconds(28), 1e-12) << c.name;
        EXPECT_EQ(monitor.monitorQueue(), "69") << c.name;  // still queued: a cancel reaches it
        switch (c.change) {
            case Change::None:
                break;
            case Change::Cancel:
                monitor.clearQueue();
                break;
            case Change::OtherCharacter:
                monitor.replaceQueue("84");
                break;
            case Change::OtherSpeed:
                rig.speed = 20;
                break;
        }
        monitor.tick(end - milliseconds(10));
        monitor.tick(end);
        EXPECT_EQ(rig.played.size(), c.played) << c.name;
        ASSERT_EQ(withdrawn.size(), c.withdrawn) << c.name;
        for (const auto& [run, offset] : withdrawn) {
            EXPECT_EQ(run, rig.played[0].run) << c.name;
            EXPECT_NEAR(offset, 4 * unitSeconds(28), 1e-12) << c.name;
        }
        EXPECT_TRUE(monitor.monitorQueue().empty()) << c.name;
        EXPECT_EQ(monitor.sendingBusy(), c.change != Change::Cancel) << c.name;
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

TEST(Monitor, CancelDuringARunEndsItAfterTheCharacter) {
    Rig rig;
    rig.monitor.replaceQueue("848484");
    while (rig.played.empty()) {
        rig.tick();
    }
    rig.monitor.clearQueue();
    rig.runOut();
    EXPECT_EQ(rig.played.size(), 1u);
    EXPECT_FALSE(rig.monitor.sendingBusy());
}

TEST(Monitor, LowCodesAndLoneDigitsAreDroppedWithoutPause) {
    struct Case {
        std::string queue;
        std::size_t played;
    } cases[] = {{"2084", 1}, {"842", 1}, {"8", 0}, {"0020", 0}, {"299784", 2}, {"8a84", 1}};
    for (const Case& c : cases) {
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

TEST(Monitor, SpeedAndVolumeAreReadForEveryCharacter) {
    Rig rig;
    rig.latency = 0;
    rig.monitor.replaceQueue("6969");
    rig.tick();
    rig.speed = 20;
    rig.volume = 0;
    rig.runOut();
    ASSERT_EQ(rig.played.size(), 2u);
    EXPECT_NEAR(rig.played[0].schedule.marks[0].length, unitSeconds(28), 1e-12);
    EXPECT_NEAR(rig.played[1].schedule.marks[0].length, unitSeconds(20), 1e-12);
    EXPECT_EQ(rig.played[0].volume, -2000);
    EXPECT_EQ(rig.played[1].volume, 0);
    EXPECT_NEAR(rig.played[1].offset, 4 * unitSeconds(28), 1e-12);
}

TEST(Monitor, UnusableSpeedsSkipCharactersAndNeverHang) {
    for (double speed : {0.0, -5.0, 1e-9}) {
        Rig rig;
        rig.latency = 0;
        rig.speed = speed;
        rig.monitor.replaceQueue("84698384");
        EXPECT_LT(rig.runOut(), 5) << speed;
        EXPECT_TRUE(rig.played.empty()) << speed;
    }
}

}  // namespace
