#pragma once

#include <chrono>
#include <optional>
#include <string_view>

namespace sim {

// How long the keyer spends on one character, in half units of the PARIS standard (one unit
// is 1.2 / wpm seconds). Elements are a dit (1 unit key down) and a dah (3 units), with one
// unit of key up between the elements of a character. The gaps after a character are not
// counted here.

// The dits and dahs of a character the keyer sends ('.' and '-'); nullopt for a character it
// ignores (lower case, and anything else outside its table).
std::optional<std::string_view> morsePattern(char c);

// Half units of key down and key up from the first element to the end of the last one.
int patternHalfUnits(std::string_view pattern);

// The length of `halfUnits` half units at `wpm` words per minute.
std::chrono::nanoseconds halfUnitsAt(long long halfUnits, int wpm);

}  // namespace sim
