#include "bridge/port_messages.h"

#include <QDir>
#include <QFileInfo>

namespace bridge {

const char* const kSerialControlAddress = "http://www.example.org/vantrel/mscomm32.ocx";

namespace {

// The Windows wording: the field exactly as typed after "COM", and a hint about the old
// serial control's port-number limit. Only the keyer side's hint says "on your computer".
QString windowsText(const SideWords& side, const OpenAttempt& attempt) {
    const bool keyerSide = QLatin1String(side.direction) == QLatin1String("output");
    return attempt.description + QStringLiteral(". Unable to connect to ") +
           QString::fromLatin1(side.direction) + QStringLiteral(" port COM") + attempt.typed +
           QStringLiteral(
               ". It's possible that the version of C:\\Windows\\SysWow64\\mscomm32.ocx") +
           (keyerSide ? QStringLiteral(" on your computer") : QString()) +
           QStringLiteral(
               " is restricting the highest port number. A possible fix is to download a "
               "modifed version of this file, reboot the system, backup the file and replace "
               "it with a downloaded version from ") +
           QString::fromLatin1(kSerialControlAddress) + QStringLiteral(" ");
}

QString unixText(const SideWords& side, const OpenAttempt& attempt) {
    const auto head = [&](const QString& name) {
        return attempt.description + QStringLiteral(". Unable to connect to the ") +
               QString::fromLatin1(side.direction) + QStringLiteral(" port ") + name +
               QStringLiteral("(") + QString::fromLatin1(side.label) + QStringLiteral("): ");
    };
    if (!attempt.number || *attempt.number < 1 || attempt.device.isEmpty()) {
        return head({}) + QStringLiteral(
                              "\"%1\" is not a port number. Type the number n of "
                              "the port COMn, for example 16.")
                              .arg(attempt.typed);
    }
    const QString name = QStringLiteral("COM%1").arg(*attempt.number);
    const QString dialout = QStringLiteral(
        " and, on Linux, that your user is in the dialout group (sudo adduser $USER dialout, "
        "then log in again).");
    const bool inFolder =
        QFileInfo(attempt.device).absolutePath() == QFileInfo(attempt.folder).absoluteFilePath();
    if (inFolder) {
        return head(name + QStringLiteral(" ")) +
               QStringLiteral(
                   "tried %1. Check that the device it leads to exists (the program "
                   "that makes a virtual pair, such as socat, must still be running), "
                   "that no other program has it open")
                   .arg(attempt.device) +
               dialout;
    }
    return head(name + QStringLiteral(" ")) +
           QStringLiteral(
               "there is no %1 in %2, the folder Vantrel was started from, so %3 was "
               "tried. Make %1 there a link to the serial device or to one end of a "
               "virtual pair (for example: ln -s /dev/ttyUSB0 %1), check that the "
               "device exists")
               .arg(name, QDir::toNativeSeparators(attempt.folder), attempt.device) +
           dialout;
}

}  // namespace

QString openFailureText(MessagePlatform platform, const SideWords& side,
                        const OpenAttempt& attempt) {
    return platform == MessagePlatform::Windows ? windowsText(side, attempt)
                                                : unixText(side, attempt);
}

QString lostPortText(const SideWords& side, const QString& description, int number,
                     const QString& device) {
    return description + QStringLiteral(
                             ". The %1 port COM%2 (%3, %4) stopped working and was closed. Check "
                             "the device and the program at its other end, then connect again.")
                             .arg(QString::fromLatin1(side.direction))
                             .arg(number)
                             .arg(QString::fromLatin1(side.label), device);
}

}  // namespace bridge
