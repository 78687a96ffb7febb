// The radio's delay measured end to end: vantrel-sim plays the logger and the keyer on two
// pseudo-terminal pairs, and its radio plays what the keyer keys into a second null sink, late
// by a delay it is given. The real window sits between logger and keyer and listens to that
// sink's monitor; what it measures is checked against the delay the radio applied.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "bridge/port_naming.h"
#include "bridge/session.h"
#include "platform/qt_serial_port.h"
#include "shell/main_window.h"
#include "support/event_loop.h"
#include "support/recording_message_boxes.h"
#include "support/working_folder.h"

namespace {

TEST(RadioEndToEnd, TheDelayMeasuredIsTheDelayTheRadioApplied) {
    if (std::getenv("VANTREL_TEST_SOUND_SERVER") == nullptr) {
        GTEST_SKIP() << "needs the private sound server (scripts/with-sound-server.sh)";
    }
    WorkingFolder folder;
    ASSERT_TRUE(folder.isValid());
    QFile script(folder.filePath("script.txt"));
    QFile settings(folder.filePath("VanTrel.ini"));
    QFile radio(folder.filePath("VanTrelRadio.ini"));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly) && settings.open(QIODevice::WriteOnly) &&
                radio.open(QIODevice::WriteOnly));
    script.write("CQ TEST DE K1ABC K1ABC TEST 5NN TU\n@idle\n");
    script.close();
    settings.write("16\r\n17\r\n-2000 \r\n 28 \r\n2\r\n 0 \r\n 6000 \r\n");
    settings.close();
    // Qt lists no monitor sources: the radio sink's monitor is taken up as a source of its own,
    // as an operator does on Linux (see the user guide).
    QProcess pactl;
    pactl.start("pactl", {"load-module", "module-remap-source", "master=cwtest2.monitor",
                          "source_name=cwradio", "source_properties=device.description=Radio"});
    ASSERT_TRUE(pactl.waitForFinished(5000) && pactl.exitCode() == 0);
    const QString module = QString::fromLatin1(pactl.readAll()).trimmed();
    radio.write("input=cwradio\npitch=\nfollow=0\n");
    radio.close();

    constexpr double kDelayMs = 250;
    QProcess simulator;
    simulator.setProcessChannelMode(QProcess::MergedChannels);
    simulator.start(VANTREL_SIM_PROGRAM,
                    {"--dir", folder.path(), "--app-port", "16", "--keyer-port", "17", "--script",
                     script.fileName(), "--until-done", "--radio-sink", "cwtest2", "--radio-delay",
                     QString::number(kDelayMs)});
    ASSERT_TRUE(waitUntil([&] {
        return QFile::exists(folder.filePath("COM16")) && QFile::exists(folder.filePath("COM17"));
    }));
    const auto device = [](int n) { return bridge::devicePathForPort(n); };
    platform::QtSerialPort applicationPort{device};
    platform::QtSerialPort keyerPort{device};
    RecordingMessageBoxes messages;
    auto window = std::make_unique<shell::MainWindow>(
        shell::MainWindowParts{applicationPort, keyerPort, messages});
    window->show();
    QTest::mouseClick(window->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    ASSERT_TRUE(applicationPort.isOpen() && keyerPort.isOpen());
    const bool ended = waitUntil([&] { return simulator.state() == QProcess::NotRunning; }, 40000);
    const QString log = QString::fromLatin1(simulator.readAll());
    ASSERT_TRUE(ended) << log.toStdString();
    runEvents(500);

    const tone::RadioListener& listener = window->session().monitor().radio();
    QStringList inputs;
    for (const auto& input : listener.inputs()) {
        inputs << input.id;
    }
    ASSERT_TRUE(listener.estimate())
        << listener.statusText().toStdString() << " inputs: " << inputs.join(", ").toStdString();
    // What Vantrel measures runs from its forward to the keyer to its input's read: the pty,
    // the simulated keyer's own reaction and the input's path add a few milliseconds.
    const double measured = listener.estimate()->delayMs;
    std::printf("radio delay applied %.0f ms, measured %.2f ms (%s)\n", kDelayMs, measured,
                qUtf8Printable(listener.statusText()));
    EXPECT_GT(measured, kDelayMs - 5);
    EXPECT_LT(measured, kDelayMs + 30);
    window.reset();
    QProcess::execute("pactl", {"unload-module", module});
}

}  // namespace
