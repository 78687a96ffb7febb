// The port messages word for word, for both platforms' wordings.
#include <gtest/gtest.h>

#include "bridge/port_messages.h"

namespace {

using bridge::MessagePlatform;

const bridge::SideWords kInput{"input", "Virtual Port"};
const bridge::SideWords kOutput{"output", "Winkey Port"};

bridge::OpenAttempt attempt(const char* typed, std::optional<int> number, const char* device) {
    return {QStringLiteral("No such file or directory"), QString::fromLatin1(typed), number,
            QString::fromLatin1(device), QStringLiteral("/home/op/cw")};
}

TEST(PortMessages, OpenFailures) {
    const QString windowsTail =
        " is restricting the highest port number. A possible fix is to download a modifed "
        "version of this file, reboot the system, backup the file and replace it with a "
        "downloaded version from http://www.example.org/vantrel/mscomm32.ocx ";
    const QString dialout =
        " and, on Linux, that your user is in the dialout group (sudo adduser $USER dialout, "
        "then log in again).";
    struct Case {
        MessagePlatform platform;
        const bridge::SideWords& side;
        bridge::OpenAttempt tried;
        QString text;
    };
    const Case cases[] = {
        // Windows: the field exactly as typed, and only the keyer side says "on your computer".
        {MessagePlatform::Windows, kInput, attempt(" 40 ", 40, "COM40"),
         "No such file or directory. Unable to connect to input port COM 40 . It's possible "
         "that the version of C:\\Windows\\SysWow64\\mscomm32.ocx" +
             windowsTail},
        {MessagePlatform::Windows, kOutput, attempt("40", 40, "COM40"),
         "No such file or directory. Unable to connect to output port COM40. It's possible that "
         "the version of C:\\Windows\\SysWow64\\mscomm32.ocx on your computer" +
             windowsTail},
        // Elsewhere: no COMn in the folder, so the serial device the number maps to was tried.
        {MessagePlatform::Unix, kInput, attempt("40", 40, "/dev/ttyS39"),
         "No such file or directory. Unable to connect to the input port COM40 (Virtual Port): "
         "there is no COM40 in /home/op/cw, the folder Vantrel was started from, so /dev/ttyS39 "
         "was tried. Make COM40 there a link to the serial device or to one end of a virtual "
         "pair (for example: ln -s /dev/ttyUSB0 COM40), check that the device exists" +
             dialout},
        // A COMn (or comn) in the folder was tried.
        {MessagePlatform::Unix, kOutput, attempt("17", 17, "/home/op/cw/com17"),
         "No such file or directory. Unable to connect to the output port COM17 (Winkey Port): "
         "tried /home/op/cw/com17. Check that the device it leads to exists (the program that "
         "makes a virtual pair, such as socat, must still be running), that no other program "
         "has it open" +
             dialout},
        // Not a port number: nothing was tried.
        {MessagePlatform::Unix, kInput, attempt("abc", 0, ""),
         "No such file or directory. Unable to connect to the input port (Virtual Port): \"abc\" "
         "is not a port number. Type the number n of the port COMn, for example 16."},
        {MessagePlatform::Unix, kOutput, attempt("99999", std::nullopt, ""),
         "No such file or directory. Unable to connect to the output port (Winkey Port): "
         "\"99999\" is not a port number. Type the number n of the port COMn, for example 16."},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(bridge::openFailureText(c.platform, c.side, c.tried).toStdString(),
                  c.text.toStdString());
    }
}

TEST(PortMessages, ALostPortNamesItsSideAndDevice) {
    EXPECT_EQ(bridge::lostPortText(kOutput, QStringLiteral("Input/output error"), 17,
                                   QStringLiteral("/home/op/cw/COM17")),
              "Input/output error. The output port COM17 (Winkey Port, /home/op/cw/COM17) stopped "
              "working and was closed. Check the device and the program at its other end, then "
              "connect again.");
}

}  // namespace
