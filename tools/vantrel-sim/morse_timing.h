#pragma once

#include <chrono>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace sim {

// How the keyer keys: its character table and the length of every mark and space, as
// docs/keyer-timing.md describes them. Times are offsets from the start of an item.
using Duration = std::chrono::nanoseconds;

// The dits and dahs of a character the keyer sends ('.' and '-'); nullopt for a character it
// ignores (lower case, and anything else outside its table).
std::optional<std::string_view> morsePattern(char c);

// The settings that shape the key besides the speed, at their power-up values.
struct KeyerTiming {
    int weighting = 50;        // 10..90: time moved from each space to the mark before it
    int ratio = 50;            // 33..66: a dah lasts 3 * ratio / 50 dits
    int compensationMs = 0;    // added to every mark, taken from the space after it
    int firstExtensionMs = 0;  // added to the first mark after the key has rested
    int farnsworthWpm = 0;     // characters keyed at this speed when it is above the speed; 0 off
};

// One item on the key: its marks as (down, up) offsets, when its last mark ends (the echo is
// due) and when the next item may start.
struct ItemKeying {
    std::vector<std::pair<Duration, Duration>> marks;
    Duration keyEnd{};
    Duration length{};
};

// A character, or two merged ones, from its pattern ('.' and '-'); the letter gap is part of
// its length. `rested`: the key had rested before it (the first extension applies).
ItemKeying keyPattern(std::string_view pattern, int wpm, const KeyerTiming& timing, bool rested);

// Silence of `spacingUnits` spacing units: 4 for a blank, 0.5 for '|'.
ItemKeying keySilence(double spacingUnits, int wpm, const KeyerTiming& timing);

// The spacing unit at these settings: the element unit, or with Farnsworth the stretched one.
Duration spacingUnit(int wpm, const KeyerTiming& timing);

// Steady tone (key down) or silence (wait) for whole seconds.
ItemKeying keySteady(std::chrono::seconds length, bool tone, const KeyerTiming& timing,
                     bool rested);

}  // namespace sim
