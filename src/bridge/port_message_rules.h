#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "bridge/port_platform.h"

// What the operator reads when a port will not open or stops working. No Qt: both platforms'
// wordings are tested on every platform's ABI. Texts are UTF-8.
namespace bridge {

// One side of the connection as the messages name it.
struct SideWords {
    const char* direction;  // "input" (the logger's side) or "output" (the keyer's side)
    const char* label;      // the window's caption for its port field
};

// What happened when a side was opened.
struct PortAttempt {
    std::string description;      // the serial layer's own description of the failure
    std::string typed;            // the port field exactly as typed
    std::optional<int> number;    // the port number read from it, when it is one
    std::string device;           // the device that was tried; empty when none was
    std::string folder;           // the folder the program was started from, as it is shown
    bool deviceInFolder = false;  // the device tried was a link in that folder
};

// The message for a side that could not be opened: the serial layer's description first.
std::string openFailureText(PortPlatform platform, const SideWords& side,
                            const PortAttempt& attempt);

// What the system's description of a failed open port says happened to it.
enum class PortLoss {
    Gone,     // the device or the program behind the port is no longer there
    Stalled,  // the port is there but no longer takes or gives bytes
    Unknown,
};
PortLoss portLossOf(std::string_view description);

// The message for an open port that stopped working and was closed: what happened in the
// operator's words, what to do, and the system's own words after them for a bug report.
std::string lostPortText(const SideWords& side, std::string_view description, int number,
                         std::string_view device);

// Where the operator can find a serial control that lifts the old port-number limit.
extern const char* const kSerialControlAddress;

}  // namespace bridge
