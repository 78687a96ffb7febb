#pragma once

#include <cstdint>

// What the keyer does with the host's byte stream, one event per command or text character, in
// stream order. The stream reader makes them from the bytes that reach the keyer; the monitor
// keys the same events on its own timeline. Parameters are carried here and never as text.
namespace keyer {

struct StreamEvent {
    enum class Kind : std::uint8_t {
        Text,                 // a: the text byte, 0x20..0x7F; the keyer keys what it knows
        Merge,                // a, b: two letters keyed as one sign, no letter gap (0x1B a b)
        Speed,                // a: words per minute, 0 = the speed pot (0x02, load defaults)
        BufferedSpeed,        // a: words per minute from here in the buffer on (0x1C)
        CancelBufferedSpeed,  // back to the last immediate speed (0x1E)
        Wait,                 // a: seconds of silence, in buffer order (0x1A)
        KeyDown,              // a: seconds of steady tone, in buffer order (0x19)
        Backspace,            // the last character not yet keyed goes (0x08)
        Tune,                 // a: 1 key down, 0 key up, at once (0x0B)
        Clear,                // the buffer goes and the key comes up at once (0x0A)
        Weighting,            // a: 10..90, 50 normal (0x03, load defaults)
        Ratio,                // a: dit/dah ratio 33..66, 50 is 3:1 (0x17, load defaults)
        Farnsworth,           // a: character speed in wpm, 0 off (0x0D, load defaults)
        KeyCompensation,      // a: milliseconds added to every mark (0x11, load defaults)
        FirstExtension,       // a: milliseconds added to the first mark after a rest (0x10, ...)
        Reset,                // the keyer's settings return to their power-up values (00 01)
    };
    Kind kind = Kind::Text;
    std::uint8_t a = 0;
    std::uint8_t b = 0;

    bool operator==(const StreamEvent&) const = default;
};

}  // namespace keyer
