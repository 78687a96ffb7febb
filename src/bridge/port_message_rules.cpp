#include "bridge/port_message_rules.h"

#include <algorithm>

namespace bridge {

const char* const kSerialControlAddress = "http://www.example.org/vantrel/mscomm32.ocx";

namespace {

// The Windows wording: the field exactly as typed after "COM", and a hint about the old
// serial control's port-number limit. Only the keyer side's hint says "on your computer".
std::string windowsText(const SideWords& side, const PortAttempt& attempt) {
    const bool keyerSide = std::string_view(side.direction) == "output";
    return attempt.description + ". Unable to connect to " + side.direction + " port COM" +
           attempt.typed +
           ". It's possible that the version of C:\\Windows\\SysWow64\\mscomm32.ocx" +
           (keyerSide ? " on your computer" : "") +
           " is restricting the highest port number. A possible fix is to download a modifed "
           "version of this file, reboot the system, backup the file and replace it with a "
           "downloaded version from " +
           kSerialControlAddress + " ";
}

std::string unixText(const SideWords& side, const PortAttempt& attempt) {
    const auto head = [&](const std::string& name) {
        return attempt.description + ". Unable to connect to the " + side.direction + " port " +
               name + "(" + side.label + "): ";
    };
    if (!attempt.number || *attempt.number < 1 || attempt.device.empty()) {
        return head({}) + "\"" + attempt.typed +
               "\" is not a port number. Type the number n of the port COMn, for example 16.";
    }
    const std::string name = "COM" + std::to_string(*attempt.number);
    const std::string dialout =
        " and, on Linux, that your user is in the dialout group (sudo adduser $USER dialout, "
        "then log in again).";
    if (attempt.deviceInFolder) {
        return head(name + " ") + "tried " + attempt.device +
               ". Check that the device it leads to exists (the program that makes a virtual "
               "pair, such as socat, must still be running), that no other program has it open" +
               dialout;
    }
    return head(name + " ") + "there is no " + name + " in " + attempt.folder +
           ", the folder Vantrel was started from, so " + attempt.device + " was tried. Make " +
           name + " there a link to the serial device or to one end of a virtual pair (for " +
           "example: ln -s /dev/ttyUSB0 " + name + "), check that the device exists" + dialout;
}

std::string lowerCase(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return lower;
}

// The system's words for a port that failed while open, as Linux (strerror) and Windows (the
// system's message for the error code) give them in English, and what each means there.
struct LossWords {
    const char* words;  // lower case; found anywhere in the description
    PortLoss loss;
};
constexpr LossWords kLossWords[] = {
    // Linux: the far end of a pseudo-terminal closed, a USB adapter pulled.
    {"inappropriate ioctl for device", PortLoss::Gone},  // ENOTTY
    {"input/output error", PortLoss::Gone},              // EIO
    {"no such file or directory", PortLoss::Gone},       // ENOENT
    {"no such device", PortLoss::Gone},                  // ENODEV, ENXIO
    {"bad file descriptor", PortLoss::Gone},             // EBADF
    {"broken pipe", PortLoss::Gone},                     // EPIPE
    // EAGAIN: what Qt reports when a read finds the far end of a pseudo-terminal closed.
    {"resource temporarily unavailable", PortLoss::Gone},
    {"timed out", PortLoss::Stalled},  // ETIMEDOUT
    // Windows: a USB adapter pulled, a virtual port's program closed.
    {"the device does not recognize the command", PortLoss::Gone},           // 22
    {"a device which does not exist was specified", PortLoss::Gone},         // 55
    {"the device is not connected", PortLoss::Gone},                         // 1167
    {"a device attached to the system is not functioning", PortLoss::Gone},  // 31
    {"the system cannot find the file specified", PortLoss::Gone},           // 2
    {"the handle is invalid", PortLoss::Gone},                               // 6
    {"access is denied", PortLoss::Gone},                                    // 5
    {"the i/o operation has been aborted", PortLoss::Gone},                  // 995
    {"the semaphore timeout period has expired", PortLoss::Stalled},         // 121
    {"the wait operation timed out", PortLoss::Stalled},                     // 258
};

const char* lossSentence(PortLoss loss) {
    switch (loss) {
        case PortLoss::Gone:
            return " has gone away: the adapter was unplugged, or the program that provides the "
                   "port (the radio's software, or the one that makes a virtual pair) has ended.";
        case PortLoss::Stalled:
            return " stopped answering: the device, or the program at its other end, no longer "
                   "takes or sends bytes.";
        case PortLoss::Unknown:
            break;
    }
    return " stopped working.";
}

}  // namespace

std::string openFailureText(PortPlatform platform, const SideWords& side,
                            const PortAttempt& attempt) {
    return platform == PortPlatform::Windows ? windowsText(side, attempt) : unixText(side, attempt);
}

PortLoss portLossOf(std::string_view description) {
    const std::string lower = lowerCase(description);
    for (const LossWords& entry : kLossWords) {
        if (lower.find(entry.words) != std::string::npos) {
            return entry.loss;
        }
    }
    return PortLoss::Unknown;
}

std::string lostPortText(const SideWords& side, std::string_view description, int number,
                         std::string_view device) {
    const std::string name = "COM" + std::to_string(number);
    // On Windows the device is the port's own name: it is not said twice.
    const std::string where = device.empty() || device == name
                                  ? std::string(side.label)
                                  : std::string(side.label) + ", " + std::string(device);
    std::string text = "The " + std::string(side.direction) + " port " + name + " (" + where + ")" +
                       lossSentence(portLossOf(description)) +
                       " Vantrel closed the port. Check the device and the program at its other "
                       "end, then connect again.";
    if (!description.empty()) {
        text += " (The system said: " + std::string(description) +
                (description.back() == '.' ? ")" : ".)");
    }
    return text;
}

}  // namespace bridge
