#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "bridge/port_naming.h"
#include "platform/qt_serial_port.h"
#include "pty_pair.h"
#include "support/event_loop.h"

#include <termios.h>

namespace {

TEST(LineSettings, ParsesTheSettingsTexts) {
    const auto app = platform::parseLineSettings("19200,N,8,1");
    ASSERT_TRUE(app);
    EXPECT_EQ(app->baudRate, 19200);
    EXPECT_EQ(app->parity, 'N');
    EXPECT_EQ(app->dataBits, 8);
    EXPECT_EQ(app->stopBits, 1);
    EXPECT_EQ(platform::parseLineSettings("1200,e,7,2")->parity, 'E');
    for (const char* bad : {"", "19200", "19200,N,8", "19200,N,8,1,1", "x,N,8,1", "19200,Q,8,1",
                            "19200,N,9,1", "19200,N,8,3", "-5,N,8,1", "19200,NN,8,1"}) {
        EXPECT_FALSE(platform::parseLineSettings(bad)) << bad;
    }
}

TEST(PortNaming, LinksInTheWorkingDirectoryComeFirst) {
    QTemporaryDir folder;
    const QDir dir(folder.path());
#ifndef Q_OS_WIN
    EXPECT_EQ(bridge::devicePathForPort(1, dir), "/dev/ttyS0");
    EXPECT_EQ(bridge::devicePathForPort(16, dir), "/dev/ttyS15");
    QFile::link("/dev/null", dir.filePath("com16"));
    EXPECT_EQ(bridge::devicePathForPort(16, dir), dir.filePath("com16"));
    QFile::link("/dev/null", dir.filePath("COM16"));
    EXPECT_EQ(bridge::devicePathForPort(16, dir), dir.filePath("COM16"));
    // A link whose pair is gone still names the port, so the error speaks of it.
    QFile::link(dir.filePath("gone"), dir.filePath("COM3"));
    EXPECT_EQ(bridge::devicePathForPort(3, dir), dir.filePath("COM3"));
#endif
}

TEST(QtSerialPort, OpensWithTheLineSettingsAndReportsFailures) {
    QTemporaryDir folder;
    PtyPair far(QDir(folder.path()).filePath("COM7").toStdString());
    ASSERT_TRUE(far.ok());
    platform::QtSerialPort port(
        [&](int n) { return bridge::devicePathForPort(n, QDir(folder.path())); });

    ASSERT_TRUE(port.open(7, *platform::parseLineSettings("1200,N,8,1")))
        << port.errorString().toStdString();
    termios t{};
    ASSERT_EQ(tcgetattr(far.masterFd(), &t), 0);
    EXPECT_EQ(cfgetospeed(&t), B1200);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_FALSE(t.c_cflag & PARENB);
    EXPECT_FALSE(t.c_cflag & CSTOPB);
    EXPECT_FALSE(t.c_cflag & CRTSCTS);

    // A second opener of the same device is refused with the serial layer's words.
    platform::QtSerialPort second(
        [&](int n) { return bridge::devicePathForPort(n, QDir(folder.path())); });
    EXPECT_FALSE(second.open(7, *platform::parseLineSettings("1200,N,8,1")));
    EXPECT_FALSE(second.errorString().isEmpty());
    EXPECT_EQ(second.deviceName(), QDir(folder.path()).filePath("COM7"));
    EXPECT_FALSE(second.open(0, *platform::parseLineSettings("1200,N,8,1")));
    EXPECT_EQ(second.errorString(), "Invalid port number");
    EXPECT_EQ(second.deviceName(), "");  // no device was tried

    // Unplugged: one failure, the port closed, no storm of errors.
    int failures = 0;
    QObject::connect(&port, &platform::SerialPort::failed, [&] { ++failures; });
    far.unplug();
    EXPECT_TRUE(waitUntil([&] { return failures > 0; }));
    runEvents(100);
    EXPECT_EQ(failures, 1);
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(port.write("x"));
}

}  // namespace
