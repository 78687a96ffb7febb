#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "support/event_loop.h"
#include "tone/monitor_player.h"

namespace {

// Records what the player asks of the sound output; never renders.
struct FakeOutput final : platform::AudioOutput {
    QStringList deviceDescriptions() const override { return {"One", "Two"}; }
    void play(int position, platform::SampleSource*) override { opened.push_back(position); }
    bool isPlaying() const override { return playing; }
    void wake() override { ++wakes; }
    std::vector<int> opened;
    bool playing = true;
    int wakes = 0;
};

struct Player {
    FakeOutput* log = new FakeOutput;  // owned by the player
    QString speed = QStringLiteral("50");
    tone::MonitorPlayer player{
        {[] { return QStringLiteral("2"); }, [this] { return speed; }, [] { return -2000; }},
        nullptr,
        std::unique_ptr<FakeOutput>(log)};
};

TEST(MonitorPlayer, TimerRunsOnlyWhileThereIsSomethingToPlay) {
    Player p;
    EXPECT_FALSE(p.player.ticking());
    p.player.replaceQueue("6969");
    EXPECT_TRUE(p.player.ticking());
    // Two E at 50 wpm: 8 units of 23 ms, and the 2 ms latency.
    ASSERT_TRUE(waitUntil([&] { return !p.player.ticking(); }, 3000));
    EXPECT_TRUE(p.player.monitorQueue().empty());
    EXPECT_FALSE(p.player.monitor().sendingBusy());
    EXPECT_EQ(p.log->wakes, 2);  // a resting stream is woken for each character
    // A cancel before the latency stops the timer too; the count stays for the next burst.
    p.player.appendToQueue("84");
    p.player.clearQueue();
    ASSERT_TRUE(waitUntil([&] { return !p.player.ticking(); }, 1000));
}

TEST(MonitorPlayer, WindowStaysResponsiveAndACancelWithdrawsWhatWasHandedOverAtOnce) {
    Player p;
    p.speed = QStringLiteral("5");  // an E of 920 ms: the next handed over 50 ms before its end
    p.player.replaceQueue("6969");
    ASSERT_TRUE(waitUntil([&] { return p.player.monitor().sendingBusy(); }, 1000));
    // The event loop keeps turning: a zero timer fires while the character is sounding.
    bool fired = false;
    QTimer::singleShot(0, [&] { fired = true; });
    EXPECT_TRUE(waitUntil([&] { return fired; }, 100));
    ASSERT_TRUE(waitUntil([&] { return p.log->wakes == 2; }, 3000));
    EXPECT_EQ(p.player.monitorQueue(), "69");
    p.player.clearQueue();
    // The withdrawal goes out now, not when the first E is over.
    EXPECT_TRUE(waitUntil([&] { return p.log->wakes == 3; }, 20));
    EXPECT_TRUE(p.player.monitor().sendingBusy());
}

TEST(MonitorPlayer, SetSoundReopensOnlyForAnotherOrAStoppedDevice) {
    Player p;
    p.player.SetSound(0, 6000);
    p.player.SetSound(0, 7000);  // a pitch change keeps the stream
    p.player.SetSound(1, 7000);  // Apply of another device
    p.log->playing = false;      // the device went away
    p.player.SetSound(1, 6500);
    EXPECT_EQ(p.log->opened, (std::vector<int>{0, 1, 1}));
    EXPECT_EQ(p.player.deviceDescriptions(), (QStringList{"One", "Two"}));
}

}  // namespace
