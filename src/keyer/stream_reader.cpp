#include "keyer/stream_reader.h"

#include <limits>

namespace keyer {
namespace {

using Kind = StreamEvent::Kind;

constexpr std::uint8_t kAdmin = 0x00;
constexpr std::uint8_t kLoadDefaults = 0x0F;
constexpr std::uint8_t kFirstText = 0x20;
constexpr std::uint8_t kLastText = 0x7F;
constexpr std::uint8_t kAdminReset = 0x01;
constexpr std::uint8_t kAdminFirmwareUpload = 0x10;

// A command that never ends: what follows it is not read as commands.
constexpr std::size_t kUnending = std::numeric_limits<std::size_t>::max();

// How long each command is, in bytes, the command byte included. All lengths live here.
//
// Commands 0x01..0x1F: the command byte and its parameters. Text 0x20..0x7F and the bytes from
// 0x80 up stand alone. Two commands take a sub-command byte that decides the rest:
// - admin 0x00: calibrate (00), echo test (04), send stored message (0E), the X1 and X2 mode
//   registers (0F, 16) and the sidetone volume (19) take one parameter, the RTTY registers (13)
//   two, load EEPROM (0D) 256; firmware upload (10) is followed by a binary image, so nothing
//   after it is a command; every other sub-command, known or not, takes none.
// - buffer pointer 0x16: 00 resets the pointers and takes nothing; 01 and 02 (move the input
//   pointer to a position) and 03 (add nulls) take one parameter. The keyer maker's manual gives
//   01 and 02 their position byte, which the short command tables leave out.
constexpr std::array<std::uint8_t, 32> kCommandLength{
    0, 2, 2, 2, 3, 4, 2, 1, 1, 2, 1, 2, 2, 2, 2, 16,  // 0x00..0x0F
    2, 2, 2, 1, 2, 1, 0, 2, 2, 2, 2, 3, 2, 2, 1, 1,   // 0x10..0x1F
};

std::size_t adminLength(std::uint8_t sub) {
    switch (sub) {
        case 0x00:
        case 0x04:
        case 0x0E:
        case 0x0F:
        case 0x16:
        case 0x19:
            return 3;
        case 0x13:
            return 4;
        case 0x0D:
            return 2 + 256;
        case kAdminFirmwareUpload:
            return kUnending;
        default:
            return 2;
    }
}

std::size_t pointerLength(std::uint8_t sub) {
    return sub >= 0x01 && sub <= 0x03 ? 3 : 2;
}

// The whole length of a command from its first byte, or 0 when the sub-command decides.
std::size_t lengthFromFirst(std::uint8_t first) {
    return first < kCommandLength.size() ? kCommandLength[first] : 1;
}

std::size_t lengthFromSub(std::uint8_t first, std::uint8_t sub) {
    return first == kAdmin ? adminLength(sub) : pointerLength(sub);
}

// Load defaults carries, from its first parameter: mode, speed, sidetone, weighting, lead-in,
// tail, minimum wpm, wpm range, first extension, key compensation, Farnsworth, paddle
// switchpoint, dit/dah ratio, pin configuration, pot range. These are the ones that time the key.
constexpr struct {
    Kind kind;
    std::size_t field;  // counted from 1, as listed above
} kTimedDefaults[] = {
    {Kind::Speed, 2},          {Kind::Weighting, 4},
    {Kind::FirstExtension, 9}, {Kind::KeyCompensation, 10},
    {Kind::Farnsworth, 11},    {Kind::Ratio, 13},
};

}  // namespace

std::vector<StreamEvent> StreamReader::read(std::string_view bytes) {
    std::vector<StreamEvent> events;
    for (char c : bytes) {
        if (halted_) {
            break;
        }
        take(static_cast<std::uint8_t>(c), events);
    }
    return events;
}

void StreamReader::take(std::uint8_t byte, std::vector<StreamEvent>& events) {
    if (got_ < kKept) {
        head_[got_] = byte;
    }
    ++got_;
    if (got_ == 1) {
        length_ = lengthFromFirst(byte);
    } else if (got_ == 2 && length_ == 0) {
        length_ = lengthFromSub(head_[0], byte);
    }
    if (length_ == kUnending) {
        halted_ = true;
        return;
    }
    if (length_ == 0 || got_ < length_) {
        return;
    }
    finish(events);
    got_ = 0;
    length_ = 0;
}

// What the keyer does with the complete command in head_.
void StreamReader::finish(std::vector<StreamEvent>& events) const {
    const std::uint8_t first = head_[0];
    const std::uint8_t value = head_[1];
    const auto add = [&events](Kind kind, std::uint8_t a = 0, std::uint8_t b = 0) {
        events.push_back({kind, a, b});
    };
    if (first > kLastText) {
        return;  // not a command, not text: the keyer keys nothing for it
    }
    if (first >= kFirstText) {
        add(Kind::Text, first);
        return;
    }
    switch (first) {
        case kAdmin:
            if (value == kAdminReset) {
                add(Kind::Reset);
            }
            break;
        case 0x02:
            add(Kind::Speed, value);
            break;
        case 0x03:
            add(Kind::Weighting, value);
            break;
        case 0x08:
            add(Kind::Backspace);
            break;
        case 0x0A:
            add(Kind::Clear);
            break;
        case 0x0B:
            add(Kind::Tune, value != 0 ? 1 : 0);
            break;
        case 0x0D:
            add(Kind::Farnsworth, value);
            break;
        case kLoadDefaults:
            for (const auto& field : kTimedDefaults) {
                add(field.kind, head_[field.field]);
            }
            break;
        case 0x10:
            add(Kind::FirstExtension, value);
            break;
        case 0x11:
            add(Kind::KeyCompensation, value);
            break;
        case 0x17:
            add(Kind::Ratio, value);
            break;
        case 0x19:
            add(Kind::KeyDown, value);
            break;
        case 0x1A:
            add(Kind::Wait, value);
            break;
        case 0x1B:
            add(Kind::Merge, value, head_[2]);
            break;
        case 0x1C:
            add(Kind::BufferedSpeed, value);
            break;
        case 0x1E:
            add(Kind::CancelBufferedSpeed);
            break;
        default:  // settings and requests that do not change what the keyer keys
            break;
    }
}

}  // namespace keyer
