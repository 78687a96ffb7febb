// The signals that end a program on a desktop, sent for real to this process: each ends the
// window as a close does, from the event loop, with the settings saved and the ports closed.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <csignal>
#include <memory>

#include "app/signal_end.h"
#include "bridge/port_naming.h"
#include "platform/qt_serial_port.h"
#include "pty_pair.h"
#include "shell/main_window.h"
#include "support/event_loop.h"
#include "support/recording_message_boxes.h"
#include "support/working_folder.h"

namespace {

// The serial layer's lock files for the two ports, one per open device, named after the path
// it was opened by (slashes made underscores).
QStringList lockFiles(const WorkingFolder& folder) {
    QStringList names;
    for (const char* port : {"COM16", "COM17"}) {
        names << "LCK.." + folder.filePath(QString::fromLatin1(port)).replace('/', '_');
    }
    return QDir(QStringLiteral("/run/lock")).entryList(names, QDir::Files);
}

TEST(SignalEnd, EachEndingSignalSavesTheSettingsAndClosesThePorts) {
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal);
        WorkingFolder folder;
        PtyPair logger(folder.filePath("COM16").toStdString());
        PtyPair keyer(folder.filePath("COM17").toStdString());
        const auto device = [](int n) { return bridge::devicePathForPort(n); };
        platform::QtSerialPort applicationPort{device};
        platform::QtSerialPort keyerPort{device};
        RecordingMessageBoxes messages;
        {
            QFile settings(folder.filePath("VanTrel.ini"));
            ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
            settings.write("16\r\n17\r\n");
        }
        shell::MainWindow window({applicationPort, keyerPort, messages});
        window.findChild<QLineEdit*>(QStringLiteral("Text6"))->setText(QStringLiteral("150"));
        QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("Command1")),
                          Qt::LeftButton);
        ASSERT_TRUE(applicationPort.isOpen() && keyerPort.isOpen());
        const bool locking = QFileInfo(QStringLiteral("/run/lock")).isWritable();
        if (locking) {
            EXPECT_EQ(lockFiles(folder).size(), 2);
        }

        app::SignalEnd ending;
        ASSERT_TRUE(ending.isWatching());
        int ended = 0;
        QObject::connect(&ending, &app::SignalEnd::endRequested, [&](int number) {
            EXPECT_EQ(number, signal);
            EXPECT_EQ(window.end(), QString());
            ++ended;
        });
        ASSERT_EQ(::raise(signal), 0);
        EXPECT_EQ(ended, 0);  // nothing is done inside the handler
        ASSERT_TRUE(waitUntil([&] { return ended == 1; }));

        QFile saved(folder.filePath("VanTrel.ini"));
        ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
        EXPECT_EQ(saved.readAll(), "16\r\n17\r\n-2000 \r\n 28 \r\n150\r\n 0 \r\n 6000 \r\n");
        EXPECT_FALSE(applicationPort.isOpen() || keyerPort.isOpen());
        EXPECT_EQ(lockFiles(folder), QStringList());
    }
}

}  // namespace
