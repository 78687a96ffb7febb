#pragma once

#include <QString>

#include <optional>

#include "bridge/port_message_rules.h"

// The port messages for Qt's texts (see port_message_rules.h for the wording).
namespace bridge {

// The name the connection gives the platform whose wording its messages use.
using MessagePlatform = PortPlatform;

// What happened when a side was opened.
struct OpenAttempt {
    QString description;        // the serial layer's own description of the failure
    QString typed;              // the port field exactly as typed
    std::optional<int> number;  // the port number read from it, when it is one
    QString device;             // the device that was tried; empty when none was
    QString folder;             // the folder the program was started from
};

QString openFailureText(MessagePlatform platform, const SideWords& side,
                        const OpenAttempt& attempt);

QString lostPortText(const SideWords& side, const QString& description, int number,
                     const QString& device);

}  // namespace bridge
