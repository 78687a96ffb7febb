#include <gtest/gtest.h>

#include <QSignalSpy>

#include <chrono>
#include <memory>
#include <vector>

#include "support/event_loop.h"
#include "tone/monitor_player.h"
#include "tone/radio_audio.h"
#include "tone/radio_listener.h"

namespace {

using namespace std::chrono_literals;

// An input that hears what the test hands it, as if read at the moments the test says.
class FakeInput final : public platform::AudioInput {
  public:
    explicit FakeInput(bool opens = true) : opens_(opens) {}
    QList<Device> devices() const override {
        return {{"radio.monitor", "Monitor of Radio"}, {"cwtest.monitor", "Monitor of Sidetone"}};
    }
    bool listen(const QString& id, Heard heard) override {
        ++opened;
        listening = id;
        heard_ = opens_ ? std::move(heard) : nullptr;
        return opens_;
    }
    void stop() override { heard_ = nullptr; }

    // The radio's audio from `startMs` on (monotonic), read 10 ms at a time.
    void play(const std::vector<float>& audio, int rate, double startMs) {
        const auto chunk = static_cast<std::size_t>(rate / 100);
        for (std::size_t from = 0; from + chunk <= audio.size() && heard_; from += chunk) {
            const double readMs = startMs + 1000.0 * static_cast<double>(from + chunk) / rate;
            heard_(std::span(audio).subspan(from, chunk), rate, tone::fromSeconds(readMs / 1000));
        }
    }

    int opened = 0;
    QString listening;

  private:
    bool opens_;
    Heard heard_;
};

// What the logger sends: a speed and some words.
std::vector<keyer::StreamEvent> sent(const std::string& text, int wpm) {
    std::vector<keyer::StreamEvent> events{
        {keyer::StreamEvent::Kind::Speed, static_cast<std::uint8_t>(wpm)}};
    for (char c : text) {
        events.push_back({keyer::StreamEvent::Kind::Text, static_cast<std::uint8_t>(c)});
    }
    return events;
}

double nowMs() {
    return std::chrono::duration<double, std::milli>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

// The keyer's bytes as they reach the keyer, and the radio's audio that follows them: the
// listener measures the delay between the two.
TEST(RadioListener, MeasuresTheDelayBetweenTheKeyerAndTheRadiosAudio) {
    auto* input = new FakeInput;
    tone::RadioListener listener(nullptr, std::unique_ptr<FakeInput>(input));
    QSignalSpy changed(&listener, &tone::RadioListener::estimateChanged);
    listener.listen("radio.monitor", std::nullopt, "cwtest");
    ASSERT_EQ(input->listening, "radio.monitor");
    EXPECT_EQ(listener.state(), tone::RadioListener::State::Listening);

    const std::string text = radio_audio::words(8, 3);
    const double startMs = 1'000'000;
    listener.keyerStream(sent(text, 25), tone::fromSeconds(startMs / 1000));
    const radio_audio::Radio radio{.rate = 44100, .delayMs = 180, .snrDb = 20};
    const auto keyed = radio_audio::keying(text, 25, 0);
    input->play(radio_audio::render(radio, keyed, keyed.back().end + 1000), radio.rate, startMs);

    ASSERT_EQ(listener.state(), tone::RadioListener::State::Measured)
        << listener.statusText().toStdString();
    EXPECT_NEAR(listener.estimate()->delayMs, 180, 1);
    EXPECT_TRUE(listener.statusText().startsWith("Radio delay: 18"))
        << listener.statusText().toStdString();
    EXPECT_GE(changed.size(), 2);  // listening, then measured
}

// Nothing is measured without an input, from the sidetone's own monitor, or from an input that
// cannot be opened; each is said differently.
TEST(RadioListener, SaysWhyItDoesNotMeasure) {
    auto* input = new FakeInput;
    tone::RadioListener listener(nullptr, std::unique_ptr<FakeInput>(input));
    EXPECT_EQ(listener.state(), tone::RadioListener::State::Off);
    const QString off = listener.statusText();

    listener.listen("cwtest.monitor", std::nullopt, "cwtest");
    EXPECT_EQ(listener.state(), tone::RadioListener::State::HearsItself);
    EXPECT_EQ(input->opened, 0);
    const QString itself = listener.statusText();
    EXPECT_TRUE(itself.contains("hear itself"));

    listener.listen("", std::nullopt, "cwtest");
    EXPECT_EQ(listener.state(), tone::RadioListener::State::Off);
    EXPECT_EQ(input->opened, 0);

    auto* refusing = new FakeInput(false);
    tone::RadioListener other(nullptr, std::unique_ptr<FakeInput>(refusing));
    other.listen("radio.monitor", std::nullopt, "cwtest");
    EXPECT_EQ(other.state(), tone::RadioListener::State::NotOpened);
    EXPECT_NE(other.statusText(), off);
    EXPECT_NE(other.statusText(), itself);
}

// Taken once, the measured delay becomes the latency; followed, it does so only between words.
TEST(RadioListener, TheMonitorTakesOrFollowsTheMeasuredDelay) {
    auto* input = new FakeInput;
    tone::MonitorPlayer player(nullptr, nullptr, std::unique_ptr<FakeInput>(input));
    QSignalSpy followed(&player, &tone::MonitorPlayer::latencyFollowed);
    player.setLatency(2);
    EXPECT_FALSE(player.takeRadioDelay());  // nothing measured yet
    player.listenToRadio("radio.monitor", 700.0);

    // What the keyer keyed half a minute ago, and the radio's audio of it.
    const std::string text = radio_audio::words(8, 5);
    const double startMs = nowMs() - 30'000;
    player.keyerStream(sent(text, 25), tone::fromSeconds(startMs / 1000));
    const radio_audio::Radio radio{.delayMs = 320, .snrDb = 20};
    const auto keyed = radio_audio::keying(text, 25, 0);
    input->play(radio_audio::render(radio, keyed, keyed.back().end + 1000), radio.rate, startMs);
    ASSERT_TRUE(player.radio().estimate());
    EXPECT_TRUE(followed.isEmpty());  // not following: the latency stays

    ASSERT_TRUE(player.takeRadioDelay());
    ASSERT_EQ(followed.size(), 1);
    EXPECT_NEAR(followed.at(0).at(0).toInt(), 320, 1);

    // While the keyer keys a word the latency stays; at the word's end it follows.
    player.setLatency(100);
    player.keyerStream(sent("PARIS PARIS", 25),
                       std::chrono::steady_clock::now().time_since_epoch());
    runEvents(20);
    player.setFollowRadio(true);
    EXPECT_EQ(followed.size(), 1);
    ASSERT_TRUE(waitUntil([&] { return followed.size() == 2; }, 6000));
    EXPECT_NEAR(followed.at(1).at(0).toInt(), 320, 1);
}
