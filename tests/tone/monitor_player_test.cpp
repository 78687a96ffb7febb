#include <gtest/gtest.h>

#include <QThread>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "support/event_loop.h"
#include "support/working_folder.h"
#include "tone/keying_reader.h"
#include "tone/monitor_player.h"

namespace {

using namespace std::chrono_literals;
constexpr int kRate = 48000;

// A device that plays in real time on its own thread, into memory: each stream it opens
// becomes a recording that starts at a known moment. What it has not played it reports as
// nothing queued, so its frames are the clock itself.
class ClockedOutput final : public platform::AudioOutput {
  public:
    struct Stream {
        std::chrono::nanoseconds start{};
        std::vector<std::int16_t> samples;
    };
    ~ClockedOutput() override {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    QStringList deviceDescriptions() const override { return {"One", "Two"}; }
    void play(int, platform::SampleSource* source) override {
        std::lock_guard lock(mutex_);
        next_ = source;
        if (!thread_.joinable()) {
            thread_ = std::thread([this] { run(); });
        }
    }
    bool isPlaying() const override { return true; }
    void wake() override {}
    std::vector<Stream> streams() {
        std::lock_guard lock(mutex_);
        return streams_;
    }

  private:
    void run() {
        platform::SampleSource* source = nullptr;
        std::int64_t written = 0;
        std::vector<std::int16_t> block;
        while (!stop_) {
            const auto now = std::chrono::steady_clock::now().time_since_epoch();
            std::lock_guard lock(mutex_);
            if (next_ != nullptr) {
                source = std::exchange(next_, nullptr);
                source->startStream(kRate, kRate / 10);
                streams_.push_back({now, {}});
                written = 0;
            }
            Stream& s = streams_.back();
            const auto due = (now - s.start).count() * kRate / 1'000'000'000;
            block.assign(static_cast<std::size_t>(std::max<std::int64_t>(due - written, 0)), 0);
            source->fill(block, {now, written, 0});
            s.samples.insert(s.samples.end(), block.begin(), block.end());
            written += static_cast<std::int64_t>(block.size());
            mutex_.unlock();
            std::this_thread::sleep_for(2ms);
            mutex_.lock();
        }
    }
    std::mutex mutex_;
    platform::SampleSource* next_ = nullptr;
    std::vector<Stream> streams_;
    std::thread thread_;
    std::atomic<bool> stop_ = false;
};

// The monitor on that device, in a folder with the shipped tone, at full volume and 28 wpm.
struct Player {
    WorkingFolder folder;
    ClockedOutput* device = new ClockedOutput;  // owned by the player
    tone::MonitorPlayer player{nullptr, std::unique_ptr<ClockedOutput>(device)};
    Player() {
        QFile::copy(VANTREL_SOURCE_DIR "/assets/cw.wav", folder.filePath("cw.wav"));
        player.setVolume(0);
        player.setSpeed(28);
        player.SetSound(0, 6000);
    }
};

// The keying read back as mark starts and ends, in ms of the monotonic clock.
struct Keyed {
    double start;
    double end;
};

std::vector<Keyed> keyedIn(const ClockedOutput::Stream& s) {
    std::vector<Keyed> out;
    const double t0 = std::chrono::duration<double, std::milli>(s.start).count();
    for (const auto& st : keying::marksAndSpaces(s.samples, kRate, 600, 8000, 48)) {
        if (st.keyed) {
            out.push_back({t0 + 1000.0 * static_cast<double>(st.start) / kRate,
                           t0 + 1000.0 * static_cast<double>(st.start + st.frames) / kRate});
        }
    }
    return out;
}

}  // namespace

// An hour of latency (or one that is not a number at all) keeps nothing awake meanwhile.
TEST(MonitorPlayer, ALatencyNeverReachedKeepsTheThreadAsleep) {
    Player p;
    p.player.setLatency(std::numeric_limits<double>::infinity());
    const keyer::StreamEvent e{keyer::StreamEvent::Kind::Text, 'E'};
    p.player.keyerStream(std::span(&e, 1), std::chrono::steady_clock::now().time_since_epoch());
    EXPECT_GT(p.player.wakesInMs(), 3'000'000);
    EXPECT_EQ(p.player.pendingText(), "E");
}

// TEST at 28 wpm: marks and spaces in units of 1200 / 28 ms.
constexpr double kUnit = 1200.0 / 28;
const std::vector<double> kTestMarks{3, 1, 1, 1, 1, 3};
const std::vector<double> kTestSpaces{3, 3, 1, 1, 3};

// A window thread that stalls never loses a character: what became due meanwhile sounds late
// and whole; then the gaps inside a character are kept and each letter gap gives up a third of
// itself, until the sidetone has caught up.
TEST(MonitorPlayer, AStalledWindowThreadDelaysButLosesNothing) {
    Player p;
    p.player.setLatency(0);
    ASSERT_TRUE(waitUntil([&] { return !p.device->streams().empty(); }, 3000));
    p.player.test();
    QThread::msleep(400);  // the window's thread is held up while TEST should be sounding
    ASSERT_TRUE(waitUntil([&] { return !p.player.busy(); }, 5000));
    runEvents(100);
    const auto keyed = keyedIn(p.device->streams().back());
    ASSERT_EQ(keyed.size(), kTestMarks.size());
    EXPECT_GT(keyed[1].start - keyed[0].end, 3 * kUnit + 100);  // E sounded late
    for (std::size_t i = 0; i < keyed.size(); ++i) {
        EXPECT_NEAR(keyed[i].end - keyed[i].start, kTestMarks[i] * kUnit, 1.5) << i;
        if (i > 1) {
            const double gap = kTestSpaces[i - 1] * kUnit;
            EXPECT_NEAR(keyed[i].start - keyed[i - 1].end, gap > kUnit ? gap * 2 / 3 : gap, 1.5)
                << i;
        }
    }
}

// Apply of another device in a run: the rest of the run keeps its timeline on the new one.
TEST(MonitorPlayer, ANewDeviceInARunKeepsTheTimeline) {
    Player p;
    p.player.setLatency(400);  // everything is handed over well before it is due
    ASSERT_TRUE(waitUntil([&] { return !p.device->streams().empty(); }, 3000));
    p.player.test();
    ASSERT_TRUE(waitUntil([&] { return p.device->streams().front().samples.size() > kRate; },
                          5000));  // into the S
    p.player.SetSound(1, 6000);
    ASSERT_TRUE(waitUntil([&] { return !p.player.busy(); }, 5000));
    runEvents(100);
    const auto streams = p.device->streams();
    ASSERT_EQ(streams.size(), 2u);
    const auto before = keyedIn(streams[0]);
    const auto after = keyedIn(streams[1]);
    ASSERT_GE(before.size(), 2u);  // T and E on the first device
    ASSERT_FALSE(after.empty());   // at least the last T on the second
    // The last T lies where TEST's timeline puts it, counted from the first T.
    const double want = before.front().start + (3 + 3 + 1 + 3 + 1 + 1 + 1 + 1 + 1 + 3) * kUnit;
    EXPECT_NEAR(after.back().start, want, 2.0);
    EXPECT_NEAR(after.back().end - after.back().start, 3 * kUnit, 1.5);
}
