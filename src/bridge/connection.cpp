#include "bridge/connection.h"

#include <QDir>

#include "bridge/port_naming.h"

namespace bridge {

Connection::Connection(platform::SerialPort& applicationPort, SideControls application,
                       platform::SerialPort& keyerPort, SideControls keyer,
                       platform::MessageBoxes& messages, QObject* parent, MessagePlatform platform)
    : QObject(parent),
      application_{
          applicationPort, std::move(application), "19200,N,8,1", {"input", "Virtual Port"}},
      keyer_{keyerPort, std::move(keyer), "1200,N,8,1", {"output", "Winkey Port"}},
      messages_(messages),
      platform_(platform) {
    connect(&applicationPort, &platform::SerialPort::failed, this,
            [this](const QString& description) { portFailed(application_, description); });
    connect(&keyerPort, &platform::SerialPort::failed, this,
            [this](const QString& description) { portFailed(keyer_, description); });
}

QString Connection::click() {
    if (application_.controls.lightShown() || keyer_.controls.lightShown()) {
        closeAll();
    } else {
        InitComm();
        InitComm1();
        if (!application_.controls.lightShown() || !keyer_.controls.lightShown()) {
            closeAll();
        }
    }
    return caption();
}

QString Connection::caption() const {
    const bool lit = application_.controls.lightShown() || keyer_.controls.lightShown();
    return lit ? QStringLiteral("Disconnect") : QStringLiteral("Connect");
}

void Connection::InitComm() {
    open(application_);
}
void Connection::InitComm1() {
    open(keyer_);
}

void Connection::closeAll() {
    if (beforeClosing_) {
        beforeClosing_();
    }
    for (Side* side : {&application_, &keyer_}) {
        side->controls.showLight(false);
        if (side->port.isOpen()) {
            side->port.close();
        }
    }
    emit closed();
}

void Connection::open(Side& side) {
    OpenAttempt attempt;
    attempt.typed = side.controls.portText();
    attempt.folder = QDir::currentPath();
    const auto fail = [&](const QString& description) {
        attempt.description = description;
        attempt.device = side.port.deviceName();
        messages_.inform(openFailureText(platform_, side.words, attempt));
    };

    if (side.port.isOpen()) {
        side.port.close();
    }
    const auto number = portFieldNumber(attempt.typed);
    if (!number) {
        fail(QStringLiteral("Overflow"));
        return;
    }
    attempt.number = *number;
    const auto settings = platform::parseLineSettings(side.settings);
    if (!settings) {
        fail(QStringLiteral("Invalid property value"));
        return;
    }
    if (!side.port.open(*number, *settings)) {
        fail(side.port.errorString());
        return;
    }
    side.number = *number;
    side.controls.showLight(true);
}

void Connection::portFailed(Side& side, const QString& description) {
    side.controls.showLight(false);
    messages_.inform(lostPortText(side.words, description, side.number, side.port.deviceName()));
    closeAll();
    emit lightsChanged();
}

}  // namespace bridge
