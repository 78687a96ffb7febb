#include "morse_timing.h"

#include <array>
#include <utility>

namespace sim {
namespace {

// The keyer's character set: letters, digits, punctuation and the prosigns it maps onto
// punctuation keys (< AR, > SK, ! SN, & AS).
constexpr std::array<std::pair<char, std::string_view>, 56> kTable{{
    {'A', ".-"},     {'B', "-..."},    {'C', "-.-."},   {'D', "-.."},    {'E', "."},
    {'F', "..-."},   {'G', "--."},     {'H', "...."},   {'I', ".."},     {'J', ".---"},
    {'K', "-.-"},    {'L', ".-.."},    {'M', "--"},     {'N', "-."},     {'O', "---"},
    {'P', ".--."},   {'Q', "--.-"},    {'R', ".-."},    {'S', "..."},    {'T', "-"},
    {'U', "..-"},    {'V', "...-"},    {'W', ".--"},    {'X', "-..-"},   {'Y', "-.--"},
    {'Z', "--.."},   {'0', "-----"},   {'1', ".----"},  {'2', "..---"},  {'3', "...--"},
    {'4', "....-"},  {'5', "....."},   {'6', "-...."},  {'7', "--..."},  {'8', "---.."},
    {'9', "----."},  {'/', "-..-."},   {'?', "..--.."}, {'.', ".-.-.-"}, {',', "--..--"},
    {'=', "-...-"},  {'+', ".-.-."},   {'-', "-....-"}, {'(', "-.--."},  {')', "-.--.-"},
    {'"', ".-..-."}, {'\'', ".----."}, {':', "---..."}, {';', "-.-.-."}, {'@', ".--.-."},
    {'<', ".-.-."},  {'>', "...-.-"},  {'!', "...-."},  {'&', ".-..."},  {'$', "...-..-"},
    {'_', "..--.-"},
}};

}  // namespace

std::optional<std::string_view> morsePattern(char c) {
    for (const auto& [key, pattern] : kTable) {
        if (key == c) {
            return pattern;
        }
    }
    return std::nullopt;
}

int patternHalfUnits(std::string_view pattern) {
    if (pattern.empty()) {
        return 0;
    }
    int units = static_cast<int>(pattern.size()) - 1;  // the gaps between elements
    for (char element : pattern) {
        units += element == '-' ? 3 : 1;
    }
    return 2 * units;
}

std::chrono::nanoseconds halfUnitsAt(long long halfUnits, int wpm) {
    // One unit is 1.2 s / wpm, so one half unit is 0.6 s / wpm.
    return std::chrono::nanoseconds(halfUnits * 600'000'000LL / wpm);
}

}  // namespace sim
