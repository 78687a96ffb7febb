#include "bridge/connection.h"

#include "platform/number_text.h"

namespace bridge {

const char* const kSerialControlAddress = "http://www.example.org/vantrel/mscomm32.ocx";

namespace {

QString failureTail(const QString& direction, const QString& onYourComputer) {
    return QStringLiteral(". Unable to connect to %1 port COM").arg(direction) +
           QStringLiteral("%1") +
           QStringLiteral(
               ". It's possible that the version of C:\\Windows\\SysWow64\\mscomm32.ocx%1 "
               "is restricting the highest port number. A possible fix is to download "
               "a modifed version of this file, reboot the system, backup the file and "
               "replace it with a downloaded version from ")
               .arg(onYourComputer) +
           QString::fromLatin1(kSerialControlAddress) + QStringLiteral(" ");
}

}  // namespace

Connection::Connection(platform::SerialPort& applicationPort, SideControls application,
                       platform::SerialPort& keyerPort, SideControls keyer,
                       platform::MessageBoxes& messages, QObject* parent)
    : QObject(parent),
      application_{applicationPort, std::move(application), "19200,N,8,1",
                   failureTail(QStringLiteral("input"), QString())},
      keyer_{keyerPort, std::move(keyer), "1200,N,8,1",
             failureTail(QStringLiteral("output"), QStringLiteral(" on your computer"))},
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
        messages_.inform(description + side.failureTail.arg(typed));
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
