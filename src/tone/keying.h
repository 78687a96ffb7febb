#pragma once

#include <string_view>
#include <vector>

// How a keyer times its elements: the PARIS unit and the settings that loggers send.
namespace tone {

// The settings that shape the keyer's timing, at their power-up values.
struct KeyerSettings {
    int weighting = 50;        // 10..90: marks heavier or lighter, the element period kept
    int ratio = 50;            // 33..66: a dah is 3 x ratio / 50 dits
    int compensationMs = 0;    // added to every mark, taken from the space after it
    int firstExtensionMs = 0;  // added to the first mark after the key has rested
    int farnsworth = 0;        // character speed in wpm; 0 (or not above the speed) is off
};

// The lengths that follow from a speed and the settings, in seconds.
struct Timing {
    double element = 0;    // the element unit: 1.2 / wpm, or the Farnsworth speed's
    double spacing = 0;    // the unit of letter and word gaps (stretched by Farnsworth)
    double dah = 0;        // a dah's base length
    double markExtra = 0;  // weighting and compensation: added to each mark
    // The silence after a mark inside a sign, and after its last mark (the letter gap).
    double elementSpace() const;
    double letterGap() const;
};

// The speed in effect held within the keyer's 5..99 wpm.
int keyerSpeed(int wpm);
Timing timingAt(int wpm, const KeyerSettings& settings);

// One key-down stretch, in seconds from the start of its sign.
struct SignMark {
    double start = 0;
    double length = 0;
    bool operator==(const SignMark&) const = default;
};

struct Sign {
    std::vector<SignMark> marks;
    double duration = 0;  // to the end of the letter gap
};

// The patterns ("." and "-") keyed one after another as one sign, with an element space
// between them and the letter gap after; `extension` seconds are added to the first mark.
Sign keySign(std::initializer_list<std::string_view> patterns, const Timing& timing,
             double extension = 0);

}  // namespace tone
