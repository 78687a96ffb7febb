// The simulated keyer's side of the host protocol: how long each command is, and what the
// commands that act at once do.
#include <algorithm>
#include <array>

#include "sim_keyer.h"

namespace sim {
namespace {

constexpr unsigned char kAdmin = 0x00;
constexpr unsigned char kBufferPointer = 0x16;
constexpr unsigned char kMerge = 0x1B;

// Length of each command 0x00..0x1F with its parameters; 0 where the next byte decides.
constexpr std::array<std::size_t, 32> kCommandLength{
    0, 2, 2, 2, 3, 4, 2, 1, 1, 2, 1, 2, 2, 2, 2, 16,  // 0x00..0x0F
    2, 2, 2, 1, 2, 1, 0, 2, 2, 2, 2, 3, 2, 2, 1, 1,   // 0x10..0x1F
};

// The whole length of the command whose first bytes are `soFar`; 0 while still unknown.
std::size_t commandLength(const std::string& soFar) {
    const auto first = static_cast<unsigned char>(soFar[0]);
    if (first >= 0x20) {
        return 1;
    }
    if (first != kAdmin && first != kBufferPointer) {
        return kCommandLength[first];
    }
    if (soFar.size() < 2) {
        return 0;
    }
    const auto sub = static_cast<unsigned char>(soFar[1]);
    if (first == kBufferPointer) {
        return sub >= 0x01 && sub <= 0x03 ? 3 : 2;  // reset takes no value; moves and nulls one
    }
    switch (sub) {
        case 0x00:  // calibrate
        case 0x04:  // echo test
        case 0x0E:  // send stored message
        case 0x0F:  // X1 mode register
        case 0x16:  // X2 mode register
        case 0x19:  // sidetone volume
            return 3;
        case 0x13:  // RTTY registers
            return 4;
        case 0x0D:  // load EEPROM
            return 2 + 256;
        default:  // firmware upload (0x10) is taken as it starts; the rest take nothing
            return 2;
    }
}

bool isBuffered(unsigned char command) {
    return command >= 0x18 && command <= 0x1F;
}

bool isTextItem(const std::string& item) {
    const auto first = static_cast<unsigned char>(item[0]);
    return first >= 0x20 || first == kMerge;
}

}  // namespace

void SimKeyer::take(unsigned char byte, Time now, std::string& out) {
    if (firmwareUpload_) {
        return;
    }
    command_ += static_cast<char>(byte);
    if (commandSize_ == 0) {
        commandSize_ = commandLength(command_);
    }
    if (commandSize_ == 0 || command_.size() < commandSize_) {
        return;
    }
    std::string command = std::move(command_);
    command_.clear();
    commandSize_ = 0;

    const auto first = static_cast<unsigned char>(command[0]);
    if (first == kAdmin) {
        runAdmin(command, now, out);
    } else if (!hostOpen_) {
        return;  // a closed keyer ignores everything else
    } else if (first >= 0x20) {
        if (first == ' ' || first == '|' || morsePattern(static_cast<char>(first))) {
            if (buffered() + 1 <= kBufferSize) {
                buffer_.push_back(std::move(command));
            }
        }
    } else if (isBuffered(first)) {
        if (buffered() + command.size() <= kBufferSize) {
            buffer_.push_back(std::move(command));
        }
    } else {
        runCommand(command, now, out);
    }
    if (!sending_ && readyAt_ <= now) {
        startNext(now);
    }
    noteStatus(out);
}

// Commands that act at once.
void SimKeyer::runCommand(const std::string& command, Time now, std::string& out) {
    const int value = command.size() > 1 ? static_cast<unsigned char>(command[1]) : 0;
    switch (static_cast<unsigned char>(command[0])) {
        case 0x02:  // speed; 0 hands it to the pot
            speed_ = speedFrom(value);
            break;
        case 0x03:
            timing_.weighting = std::clamp(value, 10, 90);
            break;
        case 0x07:  // read the speed pot: its value above the minimum
            out += static_cast<char>(0x80);
            break;
        case 0x08:  // backspace: the last character not yet started goes
            if (!buffer_.empty() && isTextItem(buffer_.back())) {
                buffer_.pop_back();
            }
            break;
        case 0x0A:
            clear(now);
            break;
        case 0x0B:  // tune: the key down until 0B 00 or a clear
            setTune(value != 0, now);
            break;
        case 0x0D:
            timing_.farnsworthWpm = std::min(value, 99);
            break;
        case 0x0E:  // mode register
            mode_ = static_cast<std::uint8_t>(value);
            break;
        case 0x0F:
            loadDefaults(command);
            break;
        case 0x10:
            timing_.firstExtensionMs = value;
            break;
        case 0x11:
            timing_.compensationMs = value;
            break;
        case 0x15:  // request status
            out += static_cast<char>(status());
            break;
        case 0x17:
            timing_.ratio = std::clamp(value, 33, 66);
            break;
        default:  // settings that do not change the key or what this keyer sends back
            break;
    }
}

// Load defaults: mode, speed, sidetone, weighting, lead-in, tail, minimum wpm, wpm range, first
// extension, key compensation, Farnsworth, paddle switchpoint, ratio, pins, pot range.
void SimKeyer::loadDefaults(const std::string& command) {
    const auto field = [&command](std::size_t n) { return static_cast<unsigned char>(command[n]); };
    mode_ = field(1);
    speed_ = speedFrom(field(2));
    timing_.weighting = std::clamp<int>(field(4), 10, 90);
    timing_.firstExtensionMs = field(9);
    timing_.compensationMs = field(10);
    timing_.farnsworthWpm = std::min<int>(field(11), 99);
    timing_.ratio = std::clamp<int>(field(13), 33, 66);
}

void SimKeyer::runAdmin(const std::string& command, Time now, std::string& out) {
    switch (static_cast<unsigned char>(command[1])) {
        case 0x01:  // reset: as after power-up
            clear(now);
            powerUp();
            break;
        case 0x02:  // host open
            hostOpen_ = true;
            reportedStatus_ = 0xC0;
            out += kVersion;
            break;
        case 0x03:  // host close
            clear(now);
            hostOpen_ = false;
            break;
        case 0x04:  // echo test
            out += command[2];
            break;
        case 0x05:  // paddle A-to-D
        case 0x06:  // speed A-to-D
            out += '\0';
            break;
        case 0x07: {  // get values: mode, speed, then settings this keyer does not report
            std::string values(15, '\0');
            values[0] = static_cast<char>(mode_);
            values[1] = static_cast<char>(speed_);
            out += values;
            break;
        }
        case 0x0C:  // dump EEPROM
            out += std::string(256, '\0');
            break;
        case 0x10:  // firmware upload: an image follows
            firmwareUpload_ = true;
            break;
        default:
            break;
    }
}

void SimKeyer::powerUp() {
    hostOpen_ = false;
    speed_ = kPotSpeed;
    bufferedSpeed_.reset();
    timing_ = KeyerTiming{};
    mode_ = kSerialEchoBit;
}

int SimKeyer::speedFrom(int value) {
    return value == 0 ? kPotSpeed : std::clamp(value, 5, 99);
}

}  // namespace sim
