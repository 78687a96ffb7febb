#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstdlib>
#include <memory>

#include "devices/devices_window.h"
#include "shell/main_window.h"
#include "support/event_loop.h"
#include "support/recording_message_boxes.h"
#include "tone/keying_reader.h"
#include "tone/wave_file.h"

namespace {

// A port that never opens: these tests only sound the monitor.
class ClosedPort final : public platform::SerialPort {
  public:
    bool open(int, const platform::LineSettings&) override { return false; }
    void close() override {}
    bool isOpen() const override { return false; }
    qint64 bytesWaiting() const override { return 0; }
    QByteArray read(qint64) override { return {}; }
    bool write(const QByteArray&) override { return false; }
    QString errorString() const override { return QStringLiteral("closed"); }
};

// Records what a sink plays, from its monitor source.
class Recording {
  public:
    Recording(const QString& sink, const QString& file) : file_(file) {
        process_.start(
            QStringLiteral("parecord"),
            {QStringLiteral("--latency-msec=10"), QStringLiteral("-d"), sink + ".monitor",
             QStringLiteral("--file-format=wav"), QStringLiteral("--rate=48000"),
             QStringLiteral("--channels=1"), QStringLiteral("--format=s16le"), file});
        process_.waitForStarted();
    }
    // A null sink's monitor starts delivering only a second or two after a recorder attaches.
    bool flowing() const { return QFileInfo(file_).size() > 9600; }
    std::vector<std::int16_t> stop() {
        ::kill(static_cast<pid_t>(process_.processId()), SIGINT);
        process_.waitForFinished(3000);
        QFile f(file_);
        if (!f.open(QIODevice::ReadOnly)) {
            return {};
        }
        const QByteArray bytes = f.readAll();
        const auto wave = tone::parseWave(
            std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
        std::vector<std::int16_t> samples;
        if (wave) {
            for (float v : wave->samples) {
                samples.push_back(static_cast<std::int16_t>(v * 32768));
            }
        }
        return samples;
    }

  private:
    QProcess process_;
    QString file_;
};

class MonitorSound : public testing::Test {
  protected:
    void SetUp() override {
        if (std::getenv("VANTREL_TEST_SOUND_SERVER") == nullptr) {
            GTEST_SKIP() << "needs the private sound server (scripts/with-sound-server.sh)";
        }
        before_ = QDir::currentPath();
        ASSERT_TRUE(QFile::copy(QStringLiteral(VANTREL_SOURCE_DIR "/assets/cw.wav"),
                                dir_.filePath(QStringLiteral("cw.wav"))));
        QDir::setCurrent(dir_.path());
        window_ = std::make_unique<shell::MainWindow>(
            shell::MainWindowParts{application_, keyer_, messages_});
        window_->show();
    }
    void TearDown() override {
        window_.reset();
        if (!before_.isEmpty()) {
            QDir::setCurrent(before_);
        }
    }

    template <typename T>
    T* control(const char* name) {
        return window_->findChild<T*>(QString::fromLatin1(name));
    }

    QTemporaryDir dir_;
    QString before_;
    ClosedPort application_;
    ClosedPort keyer_;
    RecordingMessageBoxes messages_;
    std::unique_ptr<shell::MainWindow> window_;
};

TEST_F(MonitorSound, ApplyMovesTheToneAndTestIsHeardAsTEST) {
    control<QAction>("Dev")->trigger();
    auto* devices = window_->findChild<devices::DevicesWindow*>();
    ASSERT_NE(devices, nullptr);
    auto* combo = devices->findChild<QComboBox*>(QStringLiteral("Combo1"));
    const int first = combo->findText(QStringLiteral("CWTestSink"));
    const int second = combo->findText(QStringLiteral("CWTestSink2"));
    ASSERT_GE(first, 0);
    ASSERT_GE(second, 0);
    combo->setCurrentIndex(second);
    QTest::mouseClick(devices->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
    EXPECT_EQ(window_->soundDeviceIndex(), second);
    ASSERT_TRUE(
        waitUntil([&] { return window_->findChild<devices::DevicesWindow*>() == nullptr; }));

    Recording onSecond(QStringLiteral("cwtest2"), dir_.filePath(QStringLiteral("second.wav")));
    Recording onFirst(QStringLiteral("cwtest"), dir_.filePath(QStringLiteral("first.wav")));
    ASSERT_TRUE(waitUntil([&] { return onSecond.flowing() && onFirst.flowing(); }, 8000));
    QTest::mouseClick(control<QPushButton>("Command4"), Qt::LeftButton);  // Test
    runEvents(1600);
    const auto heard = onSecond.stop();
    const auto elsewhere = onFirst.stop();

    // The design volume -2000 over a half-scale tone: about 1640.
    const auto st = keying::inner(keying::debounced(keying::stretches(heard, 48000, 600, 800), 48));
    const double unitMs = 1150.0 / 28;
    const double units[] = {3, 3, 1, 3, 1, 1, 1, 1, 1, 3, 3};  // T E S T, marks and spaces
    ASSERT_EQ(st.size(), std::size(units));
    for (std::size_t i = 0; i < st.size(); ++i) {
        EXPECT_EQ(st[i].keyed, i % 2 == 0) << i;
        EXPECT_NEAR(st[i].frames / 48.0, units[i] * unitMs, 1.5) << i;
    }
    int loudest = 0;
    for (auto v : elsewhere) {
        loudest = std::max(loudest, std::abs(static_cast<int>(v)));
    }
    EXPECT_LT(loudest, 100);
    EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(MonitorSound, WithoutTheToneFileTheMonitorIsSilentAndQuiet) {
    QFile::remove(dir_.filePath(QStringLiteral("cw.wav")));
    control<QScrollBar>("VScroll3")->setValue(5000);  // rebuilds: finds no tone file here
    QTest::mouseClick(control<QPushButton>("Command4"), Qt::LeftButton);
    EXPECT_TRUE(waitUntil([&] { return window_->monitorQueue().empty(); }));
    runEvents(1200);
    EXPECT_TRUE(messages_.shown.empty());
}

}  // namespace
