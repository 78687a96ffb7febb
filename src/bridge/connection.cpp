#include "bridge/connection.h"

#include "platform/number_text.h"

namespace bridge {

const char* const kSerialControlAddress = "http://www.example.org/vantrel/mscomm32.ocx";

namespace {

// Why a side could not be opened: the serial layer's description, then the port field exactly
// as typed and a hint about the old serial control's port-number limit.
QString failureMessage(const QString& description, const char* direction, const char* where,
                       const QString& typed) {
    return description + QStringLiteral(". Unable to connect to ") +
           QString::fromLatin1(direction) + QStringLiteral(" port COM") + typed +
           QStringLiteral(
               ". It's possible that the version of C:\\Windows\\SysWow64\\mscomm32.ocx") +
           QString::fromLatin1(where) +
           QStringLiteral(
               " is restricting the highest port number. A possible fix is to download a "
               "modifed version of this file, reboot the system, backup the file and replace "
               "it with a downloaded version from ") +
           QString::fromLatin1(kSerialControlAddress) + QStringLiteral(" ");
}

}  // namespace

Connection::Connection(platform::SerialPort& applicationPort, SideControls application,
                       platform::SerialPort& keyerPort, SideControls keyer,
                       platform::MessageBoxes& messages, QObject* parent)
    : QObject(parent),
      application_{applicationPort, std::move(application), "19200,N,8,1", "input", ""},
      keyer_{keyerPort, std::move(keyer), "1200,N,8,1", "output", " on your computer"},
      messages_(messages) {
    connect(&applicationPort, &platform::SerialPort::failed, this,
            [this](const QString& description) { portFailed(application_, description); });
    connect(&keyerPort, &platform::SerialPort::failed, this,
            [this](const QString& description) { portFailed(keyer_, description); });
}

QString Connection::click() {
    const bool applicationLit = application_.controls.lightShown();
    const bool keyerLit = keyer_.controls.lightShown();
    if (applicationLit || keyerLit) {
        for (Side* side : {&application_, &keyer_}) {
            if (side->controls.lightShown()) {
                side->controls.showLight(false);
                if (side->port.isOpen()) {
                    side->port.close();
                }
            }
        }
        return QStringLiteral("Connect");
    }
    InitComm();
    InitComm1();
    return QStringLiteral("Disconnect");
}

void Connection::InitComm() {
    open(application_);
}
void Connection::InitComm1() {
    open(keyer_);
}

void Connection::closeAll() {
    application_.port.close();
    keyer_.port.close();
}

void Connection::open(Side& side) {
    const QString typed = side.controls.portText();
    const auto fail = [&](const QString& description) {
        messages_.inform(failureMessage(description, side.direction, side.where, typed));
    };

    if (side.port.isOpen()) {
        side.port.close();
    }
    const auto number =
        numbers::roundToInt16(numbers::leadingNumber(typed.trimmed().toStdString()));
    if (!number) {
        fail(QStringLiteral("Overflow"));
        return;
    }
    const auto settings = platform::parseLineSettings(side.settings);
    if (!settings) {
        fail(QStringLiteral("Invalid property value"));
        return;
    }
    if (!side.port.open(*number, *settings)) {
        fail(side.port.errorString());
        return;
    }
    side.controls.showLight(true);
}

void Connection::portFailed(Side& side, const QString& description) {
    side.controls.showLight(false);
    messages_.inform(description);
}

}  // namespace bridge
