#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <memory>
#include <vector>

#include "support/event_loop.h"
#include "tone/monitor_player.h"

namespace {

// Records what the player asks of the sound output; never renders.
class FakeOutput final : public platform::AudioOutput {
  public:
    struct Log {
        std::vector<int> opened;
        bool playing = true;
        int wakes = 0;
    };
    explicit FakeOutput(std::shared_ptr<Log> log) : log_(std::move(log)) {}
    QStringList deviceDescriptions() const override { return {"One", "Two"}; }
    void play(int position, platform::SampleSource*) override { log_->opened.push_back(position); }
    bool isPlaying() const override { return log_->playing; }
    void wake() override { ++log_->wakes; }

  private:
    std::shared_ptr<Log> log_;
};

struct Player {
    std::shared_ptr<FakeOutput::Log> log = std::make_shared<FakeOutput::Log>();
    QString speed = QStringLiteral("50");
    tone::MonitorPlayer player{
        {[] { return QStringLiteral("2"); }, [this] { return speed; }, [] { return -2000; }},
        nullptr,
        std::make_unique<FakeOutput>(log)};
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

TEST(MonitorPlayer, WindowStaysResponsiveWhileACharacterPlays) {
    Player p;
    p.speed = QStringLiteral("5");  // a dah of 690 ms
    p.player.replaceQueue("84");
    ASSERT_TRUE(waitUntil([&] { return p.player.monitor().sendingBusy(); }, 1000));
    // The event loop keeps turning: a zero timer fires while the character is sounding.
    bool fired = false;
    QTimer::singleShot(0, [&] { fired = true; });
    EXPECT_TRUE(waitUntil([&] { return fired; }, 100));
    EXPECT_TRUE(p.player.monitor().sendingBusy());
}

TEST(MonitorPlayer, CancelWithdrawsACharacterHandedOverAheadAtOnce) {
    Player p;
    p.speed = QStringLiteral("5");  // an E of 920 ms: handed over 50 ms before its end
    p.player.replaceQueue("6969");
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

TEST(MonitorPlayer, ToneFileIsLookedForInTheWorkingDirectoryFirst) {
    QTemporaryDir dir;
    const QString before = QDir::currentPath();
    QDir::setCurrent(dir.path());
    const QStringList candidates = tone::MonitorPlayer::toneFileCandidates();
    QDir::setCurrent(before);
    ASSERT_GE(candidates.size(), 2);
    EXPECT_EQ(candidates[0], QDir(dir.path()).filePath("cw.wav"));
    EXPECT_TRUE(candidates[1].endsWith("/cw.wav"));
}

}  // namespace
