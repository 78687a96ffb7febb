// Connect and its messages, word for word in both platforms' wordings, as the operator reads
// them through the message boxes.
#include <gtest/gtest.h>

#include "bridge/connection.h"
#include "support/fake_serial_port.h"
#include "support/recording_message_boxes.h"
#include "support/working_folder.h"

namespace {

using bridge::MessagePlatform;

// One side of the window: a port field and a light.
struct Side {
    QString field;
    bool lit = false;
    bridge::SideControls controls() {
        return {[this] { return field; }, [this] { return lit; }, [this](bool on) { lit = on; }};
    }
};

const QString kWindowsTail =
    " is restricting the highest port number. A possible fix is to download a modifed version "
    "of this file, reboot the system, backup the file and replace it with a downloaded version "
    "from http://www.example.org/vantrel/mscomm32.ocx ";
const QString kDialout =
    " and, on Linux, that your user is in the dialout group (sudo adduser $USER dialout, then "
    "log in again).";

TEST(Connection, SaysWhyASideDidNotOpen) {
    WorkingFolder folder;
    struct Case {
        MessagePlatform platform;
        bool keyerSide;
        const char* field;
        QString device;  // what the port tried
        QString text;
    };
    const Case cases[] = {
        // Windows: the field exactly as typed after COM (the wording is tested on its own).
        {MessagePlatform::Windows, true, "COM 40", "COM40",
         "The device does not exist. Unable to connect to output port COMCOM 40. It's possible "
         "that the version of C:\\Windows\\SysWow64\\mscomm32.ocx on your computer" +
             kWindowsTail},
        // Elsewhere, no COMn in the folder: the serial device the number maps to was tried.
        {MessagePlatform::Unix, false, "COM40", "/dev/ttyS39",
         "The device does not exist. Unable to connect to the input port COM40 (Virtual Port): "
         "there is no COM40 in " +
             folder.path() +
             ", the folder Vantrel was started from, so /dev/ttyS39 was tried. Make COM40 there a "
             "link to the serial device or to one end of a virtual pair (for example: ln -s "
             "/dev/ttyUSB0 COM40), check that the device exists" +
             kDialout},
        // A link in the folder was tried.
        {MessagePlatform::Unix, true, "17", folder.filePath("com17"),
         "The device does not exist. Unable to connect to the output port COM17 (Winkey Port): "
         "tried " +
             folder.filePath("com17") +
             ". Check that the device it leads to exists (the program that makes a virtual "
             "pair, such as socat, must still be running), that no other program has it open" +
             kDialout},
        // Not a port number: nothing was tried.
        {MessagePlatform::Unix, false, "abc", "",
         "The device does not exist. Unable to connect to the input port (Virtual Port): "
         "\"abc\" is not a port number. Type the number n of the port COMn, for example 16."},
        {MessagePlatform::Unix, true, "99999", "",
         "Overflow. Unable to connect to the output port (Winkey Port): \"99999\" is not a port "
         "number. Type the number n of the port COMn, for example 16."},
    };
    for (const Case& c : cases) {
        FakeSerialPort applicationPort;
        FakeSerialPort keyerPort;
        RecordingMessageBoxes messages;
        Side application{"16"};
        Side keyer{"17"};
        (c.keyerSide ? keyer : application).field = QString::fromLatin1(c.field);
        FakeSerialPort& failing = c.keyerSide ? keyerPort : applicationPort;
        failing.refuseOpen = true;
        failing.device = c.device;
        bridge::Connection connection(applicationPort, application.controls(), keyerPort,
                                      keyer.controls(), messages, nullptr, c.platform);
        // Both sides or neither: the side that opened is closed again.
        EXPECT_EQ(connection.click(), "Connect");
        ASSERT_EQ(messages.shown.size(), 1u) << c.field;
        EXPECT_EQ(messages.shown[0].text.toStdString(), c.text.toStdString());
        EXPECT_FALSE(application.lit || keyer.lit);
        EXPECT_FALSE(applicationPort.isOpen() || keyerPort.isOpen());
    }
}

TEST(Connection, ALostPortNamesItsSideAndFileAndClosesTheOtherSide) {
    FakeSerialPort applicationPort;
    FakeSerialPort keyerPort;
    RecordingMessageBoxes messages;
    Side application{"16"};
    Side keyer{"COM17"};
    bridge::Connection connection(applicationPort, application.controls(), keyerPort,
                                  keyer.controls(), messages);
    int changes = 0;
    QObject::connect(&connection, &bridge::Connection::lightsChanged, [&] { ++changes; });
    ASSERT_EQ(connection.click(), "Disconnect");
    keyerPort.device = QStringLiteral("/home/op/cw/COM17");
    emit keyerPort.failed(QStringLiteral("Input/output error"));
    EXPECT_FALSE(keyer.lit || application.lit);
    EXPECT_FALSE(applicationPort.isOpen());
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(connection.caption(), "Connect");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text.toStdString(),
              "The output port COM17 (Winkey Port, /home/op/cw/COM17) has gone away: the "
              "adapter was unplugged, or the program that provides the port (the radio's "
              "software, or the one that makes a virtual pair) has ended. Vantrel closed the "
              "port. Check the device and the program at its other end, then connect again. "
              "(The system said: Input/output error.)");
    EXPECT_EQ(connection.click(), "Disconnect");  // no light: the next click connects
    EXPECT_TRUE(application.lit && keyer.lit);
}

}  // namespace
