#pragma once

#include <QString>

#include <optional>

namespace bridge {

// Whose words a port message uses: the Windows wording speaks of COM ports and the old serial
// control; elsewhere the message says which file was tried and what to do about it.
enum class MessagePlatform { Windows, Unix };

#ifdef Q_OS_WIN
inline constexpr MessagePlatform kThisPlatform = MessagePlatform::Windows;
#else
inline constexpr MessagePlatform kThisPlatform = MessagePlatform::Unix;
#endif

// One side of the connection as the messages name it.
struct SideWords {
    const char* direction;  // "input" (the logger's side) or "output" (the keyer's side)
    const char* label;      // the window's caption for its port field
};

// What happened when a side was opened.
struct OpenAttempt {
    QString description;        // the serial layer's own description of the failure
    QString typed;              // the port field exactly as typed
    std::optional<int> number;  // the port number read from it, when it is one
    QString device;             // the device that was tried; empty when none was
    QString folder;             // the folder the program was started from
};

// The message for a side that could not be opened: the serial layer's description first.
QString openFailureText(MessagePlatform platform, const SideWords& side,
                        const OpenAttempt& attempt);

// The message for an open port that stopped working and was closed.
QString lostPortText(const SideWords& side, const QString& description, int number,
                     const QString& device);

// Where the operator can find a serial control that lifts the old port-number limit.
extern const char* const kSerialControlAddress;

}  // namespace bridge
