#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QDir>
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
        EXPECT_NEAR(st[i].frames / 48.0, units[i] * 1150.0 / 28, 1.5) << i;
    }
    EXPECT_TRUE(std::ranges::all_of(elsewhere, [](std::int16_t v) { return std::abs(v) < 100; }));
    EXPECT_TRUE(messages_.shown.empty());
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
