#include "sim_keyer.h"

#include <algorithm>
#include <array>

#include "morse_timing.h"

namespace sim {
namespace {

using namespace std::chrono_literals;

constexpr unsigned char kAdmin = 0x00;
constexpr unsigned char kBufferPointer = 0x16;

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
        return sub == 0x00 ? 2 : 3;  // reset takes no value, the moves one
    }
    switch (sub) {
        case 0x00:  // calibrate
        case 0x04:  // echo test
        case 0x0E:  // send stored message
            return 3;
        case 0x0D:  // load EEPROM
            return 2 + 256;
        default:
            return 2;
    }
}

bool isBuffered(unsigned char command) {
    return command >= 0x18 && command <= 0x1F;
}

}  // namespace

SimKeyer::SimKeyer(int speedWpm) : speed_(speedWpm) {}

std::size_t SimKeyer::buffered() const {
    std::size_t bytes = 0;
    for (const auto& item : buffer_) {
        bytes += item.size();
    }
    return bytes;
}

std::uint8_t SimKeyer::status() const {
    std::uint8_t s = 0xC0;
    if (sending_) {
        s |= 0x04;
    }
    if (buffered() * 3 > kBufferSize * 2) {
        s |= 0x01;
    }
    return s;
}

std::string SimKeyer::receive(std::string_view bytes, Time now) {
    std::string out = advance(now);
    for (char byte : bytes) {
        take(static_cast<unsigned char>(byte), now, out);
    }
    return out;
}

void SimKeyer::take(unsigned char byte, Time now, std::string& out) {
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
        runAdmin(command, out);
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
    } else if (first == 0x0A) {
        clear(now);
    } else {
        runImmediate(command, out);
    }
    if (!sending_ && !buffer_.empty()) {
        startNext(now);
    }
    noteStatus(out);
}

void SimKeyer::runAdmin(const std::string& command, std::string& out) {
    switch (static_cast<unsigned char>(command[1])) {
        case 0x01:  // reset: as after power-on
            *this = SimKeyer(kPotSpeed);
            break;
        case 0x02:  // host open
            hostOpen_ = true;
            reportedStatus_ = 0xC0;
            out += kVersion;
            break;
        case 0x03:  // host close
            hostOpen_ = false;
            buffer_.clear();
            sending_.reset();
            bufferedSpeed_.reset();
            break;
        case 0x04:  // echo test
            out += command[2];
            break;
        case 0x05:  // paddle A-to-D
        case 0x06:  // speed A-to-D
            out += '\0';
            break;
        case 0x07: {  // get values: mode, speed, then settings this keyer does not model
            std::string values(15, '\0');
            values[0] = static_cast<char>(mode_);
            values[1] = static_cast<char>(speed_);
            out += values;
            break;
        }
        case 0x0C:  // dump EEPROM
            out += std::string(256, '\0');
            break;
        default:
            break;
    }
}

void SimKeyer::runImmediate(const std::string& command, std::string& out) {
    const auto value = command.size() > 1 ? static_cast<unsigned char>(command[1]) : 0;
    switch (static_cast<unsigned char>(command[0])) {
        case 0x02:  // speed; 0 hands it to the pot
            speed_ = value == 0 ? kPotSpeed : std::clamp<int>(value, 5, 99);
            break;
        case 0x07:  // read the speed pot: its value above the minimum
            out += static_cast<char>(0x80);
            break;
        case 0x08:  // backspace: drop the last text character not yet keyed
            if (!buffer_.empty() && static_cast<unsigned char>(buffer_.back()[0]) >= 0x20) {
                buffer_.pop_back();
            }
            break;
        case 0x0E:  // mode register
            mode_ = static_cast<std::uint8_t>(value);
            break;
        case 0x15:  // request status
            out += static_cast<char>(status());
            break;
        default:  // settings that do not change what this keyer sends back
            break;
    }
}

void SimKeyer::clear(Time now) {
    buffer_.clear();
    sending_.reset();
    bufferedSpeed_.reset();
    readyAt_ = now;
}

// Starts keying the next item of the buffer, no earlier than `earliest` nor before the gap
// after the previous one is over. Commands in the buffer take no time and run at once.
void SimKeyer::startNext(Time earliest) {
    while (!sending_ && !buffer_.empty()) {
        const std::string item = std::move(buffer_.front());
        buffer_.pop_front();
        const Time start = std::max(earliest, readyAt_);
        const auto first = static_cast<unsigned char>(item[0]);
        const auto value = item.size() > 1 ? static_cast<unsigned char>(item[1]) : 0;
        const auto at = [this](long long halfUnits) { return halfUnitsAt(halfUnits, speed()); };
        Sending next;
        switch (first) {
            case ' ':  // a word gap: 7 units after a character, 3 of them already passed
                next = {item, start + at(8), start + at(8)};
                break;
            case '|':  // half a unit of space
                next = {item, start + at(1), start + at(1)};
                break;
            case 0x1B: {  // two letters run together as one sign
                const auto a = morsePattern(item[1]).value_or("");
                const auto b = morsePattern(item[2]).value_or("");
                const Time end = start + at(patternHalfUnits(a) + 2 + patternHalfUnits(b));
                next = {item.substr(1), end, end + at(6)};
                break;
            }
            case 0x19:    // key down for n seconds
            case 0x1A: {  // wait n seconds
                const Time end = start + std::chrono::seconds(value);
                next = {{}, end, end};
                break;
            }
            case 0x1C:  // speed change when the buffer reaches it
                bufferedSpeed_ = std::clamp<int>(value, 5, 99);
                continue;
            case 0x1E:  // back to the speed of the last 0x02
                bufferedSpeed_.reset();
                continue;
            default:
                if (first >= 0x20) {
                    const auto pattern = morsePattern(static_cast<char>(first)).value_or("");
                    const Time end = start + at(patternHalfUnits(pattern));
                    next = {item, end, end + at(6)};
                    break;
                }
                continue;  // PTT, HSCW speed, no-op: nothing to key
        }
        sending_ = next;
    }
}

std::string SimKeyer::advance(Time now) {
    std::string out;
    while (sending_ && sending_->end <= now) {
        const Sending done = *sending_;
        sending_.reset();
        readyAt_ = done.nextFrom;
        if (!done.echo.empty()) {
            keyed_ += done.echo;
            if (serialEcho()) {
                out += done.echo;
            }
        }
        startNext(done.end);
        noteStatus(out);
    }
    return out;
}

std::optional<Time> SimKeyer::nextDue() const {
    if (sending_) {
        return sending_->end;
    }
    return std::nullopt;
}

void SimKeyer::noteStatus(std::string& out) {
    const std::uint8_t now = status();
    if (hostOpen_ && now != reportedStatus_) {
        out += static_cast<char>(now);
        reportedStatus_ = now;
    }
}

}  // namespace sim
