#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "devices/devices_window.h"
#include "shell/main_window.h"
#include "support/event_loop.h"
#include "support/fake_serial_port.h"
#include "support/recording_message_boxes.h"
#include "support/working_folder.h"
#include "tone/keying_reader.h"
#include "tone/monitor_player.h"
#include "tone/sink_recording.h"

namespace {

// The real window in a folder holding the shipped cw.wav; its ports stay closed.
class MonitorSound : public testing::Test {
  protected:
    void SetUp() override {
        if (std::getenv("VANTREL_TEST_SOUND_SERVER") == nullptr) {
            GTEST_SKIP() << "needs the private sound server (scripts/with-sound-server.sh)";
        }
        ASSERT_TRUE(QFile::copy(VANTREL_SOURCE_DIR "/assets/cw.wav", dir_.filePath("cw.wav")));
        window_ = std::make_unique<shell::MainWindow>(
            shell::MainWindowParts{application_, keyer_, messages_});
        window_->show();
    }
    void TearDown() override { window_.reset(); }
    void clickTest() {
        QTest::mouseClick(window_->findChild<QPushButton*>("Command4"), Qt::LeftButton);
    }

    WorkingFolder dir_;
    FakeSerialPort application_;
    FakeSerialPort keyer_;
    RecordingMessageBoxes messages_;
    std::unique_ptr<shell::MainWindow> window_;
};

TEST_F(MonitorSound, ApplyMovesTheToneAndTestIsHeardAsTEST) {
    window_->findChild<QAction*>("Dev")->trigger();
    auto* devices = window_->findChild<devices::DevicesWindow*>();
    ASSERT_NE(devices, nullptr);
    auto* combo = devices->findChild<QComboBox*>("Combo1");
    ASSERT_GE(combo->findText("CWTestSink"), 0);
    const int second = combo->findText("CWTestSink2");
    ASSERT_GE(second, 0);
    combo->setCurrentIndex(second);
    QTest::mouseClick(devices->findChild<QPushButton*>("Command1"), Qt::LeftButton);  // Apply
    EXPECT_EQ(window_->soundDeviceIndex(), second);
    ASSERT_TRUE(
        waitUntil([&] { return window_->findChild<devices::DevicesWindow*>() == nullptr; }));

    SinkRecording onSecond("cwtest2", dir_.filePath("second.wav"));
    SinkRecording onFirst("cwtest", dir_.filePath("first.wav"));
    ASSERT_TRUE(waitUntil([&] { return onSecond.flowing() && onFirst.flowing(); }, 8000));
    clickTest();
    runEvents(1600);
    const auto heard = onSecond.stop();
    const auto elsewhere = onFirst.stop();

    // The design volume -2000 over a half-scale tone: about 1640.
    const auto st = keying::marksAndSpaces(heard, 48000, 600, 800, 48);
    const double units[] = {3, 3, 1, 3, 1, 1, 1, 1, 1, 3, 3};  // T E S T, marks and spaces
    ASSERT_EQ(st.size(), std::size(units));
    for (std::size_t i = 0; i < st.size(); ++i) {
        EXPECT_EQ(st[i].keyed, i % 2 == 0) << i;
        EXPECT_NEAR(st[i].frames / 48.0, units[i] * 1200.0 / 28, 1.5) << i;
    }
    EXPECT_TRUE(std::ranges::all_of(elsewhere, [](std::int16_t v) { return std::abs(v) < 100; }));
    EXPECT_TRUE(messages_.shown.empty());
}

// The pitch the bar shows is the pitch heard next, after one step and after a hundred quick
// ones made while the sidetone rests: a 600 Hz tone at 24000 samples a second played at 4 x
// pitch sounds at pitch / 10 Hz.
TEST_F(MonitorSound, TheNextCharacterSoundsAtThePitchTheBarShows) {
    auto* pitch = window_->findChild<QScrollBar*>("VScroll3");
    SinkRecording heard("cwtest", dir_.filePath("pitch.wav"));
    ASSERT_TRUE(waitUntil([&] { return heard.flowing(); }, 8000));
    runEvents(500);
    pitch->triggerAction(QAbstractSlider::SliderSingleStepAdd);  // 6001: 600.1 Hz
    clickTest();
    runEvents(1500);
    for (int i = 0; i < 100; ++i) {
        pitch->triggerAction(QAbstractSlider::SliderPageStepAdd);
        runEvents(2);
    }
    const int last = pitch->value();
    clickTest();
    runEvents(1500);
    const auto samples = heard.stop();
    // The pitch inside each dah (T), away from its edges: whole cycles between the first and
    // the last upward zero crossing, each placed between its two samples.
    const auto st = keying::marksAndSpaces(samples, 48000, 600, 800, 48);
    std::vector<double> heardHz;
    for (const auto& s : st) {
        if (s.keyed && s.frames > 48 * 100) {
            std::vector<double> ups;
            for (std::size_t n = s.start + 480; n < s.start + s.frames - 480; ++n) {
                if (samples[n - 1] < 0 && samples[n] >= 0) {
                    ups.push_back(static_cast<double>(n) -
                                  samples[n] / static_cast<double>(samples[n] - samples[n - 1]));
                }
            }
            heardHz.push_back(48000.0 * static_cast<double>(ups.size() - 1) /
                              (ups.back() - ups.front()));
        }
    }
    ASSERT_EQ(heardHz.size(), 4u);  // the two dahs of each TEST
    EXPECT_NEAR(heardHz[0], 600.1, 0.03);
    EXPECT_NEAR(heardHz[2], last / 10.0, 0.03);
    EXPECT_GT(last, 6050);
}

// The output's buffer follows the latency: a long latency gets a long buffer, which rides out
// the stalls of a loaded machine, a short one the short buffer back; TEST sounds whole in both.
TEST_F(MonitorSound, TheBufferFollowsTheLatencyAndTestStaysWhole) {
    auto* monitor = window_->findChild<tone::MonitorPlayer*>();
    auto* latency = window_->findChild<QLineEdit*>("Text6");
    SinkRecording heard("cwtest", dir_.filePath("buffers.wav"));
    ASSERT_TRUE(waitUntil([&] { return heard.flowing(); }, 8000));
    // A new buffer is taken once the stream rests.
    const int untilRested = static_cast<int>(tone::OutputPolicy::kRestAfterSeconds * 1000) + 500;
    latency->setText("400");
    runEvents(untilRested);
    clickTest();
    runEvents(1600);
    const double longDelay = monitor->source().outputDelay();
    latency->setText("2");
    runEvents(untilRested);
    clickTest();
    runEvents(1600);
    const double shortDelay = monitor->source().outputDelay();
    const auto samples = heard.stop();

    EXPECT_GT(longDelay, 0.1);
    EXPECT_LT(shortDelay, 0.12);
    const auto st = keying::marksAndSpaces(samples, 48000, 600, 800, 48);
    const double units[] = {3, 3, 1, 3, 1, 1, 1, 1, 1, 3, 3};  // T E S T, marks and spaces
    ASSERT_EQ(st.size(), 2 * std::size(units) + 1);
    const std::size_t between = std::size(units);  // the rest between the two
    for (std::size_t i = 0; i < st.size(); ++i) {
        if (i != between) {
            const double u = units[i < between ? i : i - between - 1];
            EXPECT_NEAR(st[i].frames / 48.0, u * 1200.0 / 28, 1.5) << i;
        }
    }
}

TEST_F(MonitorSound, WithoutTheToneFileTheMonitorIsSilentAndQuiet) {
    QFile::remove(dir_.filePath("cw.wav"));
    window_->findChild<QScrollBar*>("VScroll3")->setValue(5000);  // rebuilds: finds no tone file
    clickTest();
    EXPECT_TRUE(waitUntil([&] { return window_->monitorQueue().empty(); }));
    runEvents(1200);
    EXPECT_TRUE(messages_.shown.empty());
}

}  // namespace
