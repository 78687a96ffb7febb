// The whole path with the simulator: vantrel-sim plays the logger and the keyer on two
// pseudo-terminal pairs in a temporary folder; the real window with the real serial adapters
// sits between them. Logger → Vantrel → keyer → Vantrel → logger, checked byte for byte from
// the simulator's own traffic log.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "bridge/port_naming.h"
#include "platform/qt_serial_port.h"
#include "shell/main_window.h"
#include "support/event_loop.h"
#include "support/recording_message_boxes.h"
#include "support/working_folder.h"
#include "tone/keying_reader.h"
#include "tone/sink_recording.h"

namespace {

std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) {
        out += static_cast<char>(v);
    }
    return out;
}

// The bytes of each log column ("logger sends", "keyer gets", ...), in order.
std::map<std::string, std::string> trafficByWho(const QString& log) {
    static const QRegularExpression line(
        QStringLiteral(R"(^\s*[0-9.]+\s+(logger sends|logger gets|keyer sends|keyer gets)\s+)"
                       R"(((?:[0-9A-F]{2} ?)+)\s+\|)"));
    std::map<std::string, std::string> traffic;
    for (const QString& text : log.split('\n')) {
        const auto match = line.match(text);
        if (match.hasMatch()) {
            for (const QString& hex : match.captured(2).split(' ', Qt::SkipEmptyParts)) {
                traffic[match.captured(1).toStdString()] +=
                    static_cast<char>(hex.toInt(nullptr, 16));
            }
        }
    }
    return traffic;
}

class SimulatorEndToEnd : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }
    void TearDown() override {
        window.reset();
        if (simulator.state() != QProcess::NotRunning) {
            simulator.terminate();
            simulator.waitForFinished(3000);
        }
    }

    // Starts vantrel-sim on ports 16 and 17 with a logger that sends "CQ TEST", opens the
    // window on them at speed 28 (the logger's own 0x02 0x1C then changes nothing, so Vantrel
    // adds no speed command of its own), connects, and returns the simulator's traffic log once
    // the CQ has been keyed and the keyer is idle.
    QString runCq() {
        QFile script(folder.filePath("script.txt"));
        QFile settings(folder.filePath("VanTrel.ini"));
        EXPECT_TRUE(script.open(QIODevice::WriteOnly) && settings.open(QIODevice::WriteOnly));
        script.write("CQ TEST\n@idle\n");
        script.close();
        settings.write("16\r\n17\r\n-2000 \r\n 28 \r\n2\r\n 0 \r\n 6000 \r\n");
        settings.close();
        simulator.setProcessChannelMode(QProcess::MergedChannels);
        simulator.start(VANTREL_SIM_PROGRAM,
                        {"--dir", folder.path(), "--app-port", "16", "--keyer-port", "17",
                         "--script", script.fileName(), "--until-done"});
        EXPECT_TRUE(waitUntil([this] {
            return QFile::exists(folder.filePath("COM16")) &&
                   QFile::exists(folder.filePath("COM17"));
        }));
        window = std::make_unique<shell::MainWindow>(
            shell::MainWindowParts{applicationPort, keyerPort, messages});
        window->show();
        QTest::mouseClick(window->findChild<QPushButton*>("Command1"), Qt::LeftButton);
        EXPECT_TRUE(applicationPort.isOpen() && keyerPort.isOpen())
            << messages.texts().join('\n').toStdString();
        EXPECT_TRUE(waitUntil([this] { return simulator.state() == QProcess::NotRunning; }, 15000));
        EXPECT_EQ(simulator.exitCode(), 0);
        return QString::fromLatin1(simulator.readAll());
    }

    WorkingFolder folder;
    QProcess simulator;
    std::function<QString(int)> device = [](int n) { return bridge::devicePathForPort(n); };
    platform::QtSerialPort applicationPort{device};
    platform::QtSerialPort keyerPort{device};
    RecordingMessageBoxes messages;
    std::unique_ptr<shell::MainWindow> window;
};

TEST_F(SimulatorEndToEnd, CqTestCrossesBothWaysByteForByte) {
    const QString log = runCq();
    SCOPED_TRACE(log.toStdString());

    auto traffic = trafficByWho(log);
    // The logger's side, as a logger opens a WinKeyer and sends its CQ.
    EXPECT_EQ(traffic["logger sends"], bytes({0x13, 0x13, 0x13, 0x00, 0x04, 0x55, 0x00, 0x02, 0x0E,
                                              0x04, 0x09, 0x06, 0x02, 0x1C}) +
                                           "CQ TEST");
    // Vantrel relays every byte unchanged both ways.
    EXPECT_EQ(traffic["keyer gets"], traffic["logger sends"]);
    EXPECT_EQ(traffic["logger gets"], traffic["keyer sends"]);
    // The keyer: the echo test's 0x55, version 23, busy, the seven echoes, idle.
    EXPECT_EQ(traffic["keyer sends"], bytes({0x55, 23, 0xC4}) + "CQ TEST" + bytes({0xC0}));
    EXPECT_EQ(window->findChild<QLineEdit*>("Text4")->text(), "28");
}

TEST_F(SimulatorEndToEnd, MonitorSoundsTheLoggersCq) {
    if (std::getenv("VANTREL_TEST_SOUND_SERVER") == nullptr) {
        GTEST_SKIP() << "needs the private sound server (scripts/with-sound-server.sh)";
    }
    ASSERT_TRUE(QFile::copy(VANTREL_SOURCE_DIR "/assets/cw.wav", folder.filePath("cw.wav")));
    SinkRecording recording("cwtest", folder.filePath("heard.wav"));
    ASSERT_TRUE(waitUntil([&] { return recording.flowing(); }, 8000));
    runCq();
    runEvents(500);  // the monitor runs a little behind the keyer
    const auto heard = recording.stop();

    // The echo test's 0x55 is a parameter, not text: C -.-. Q --.- T - E . S ... T -:
    // fourteen marks. At 28 wpm no space is shorter than 40 ms; a dip of a few ms inside a
    // mark (the sound server under load) does not split it.
    const auto st = keying::marksAndSpaces(heard, 48000, 600, 800, 480);
    std::string seen;
    for (const auto& s : st) {
        seen += (s.keyed ? " +" : " -") + std::to_string(s.frames / 48);
    }
    EXPECT_EQ((st.size() + 1) / 2, 14u) << "marks and spaces in ms:" << seen;
}

}  // namespace
