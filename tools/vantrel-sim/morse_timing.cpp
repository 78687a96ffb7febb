#include "morse_timing.h"

#include <algorithm>
#include <array>
#include <cmath>

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

// The units of one item, in milliseconds: the element unit, the spacing unit, and the
// weighting's shift from each space to the mark before it.
struct Units {
    double element;
    double spacing;
    double weightShift;
};

Units unitsAt(int wpm, const KeyerTiming& timing) {
    const double w = wpm;
    Units u{1200.0 / w, 1200.0 / w, 0};
    if (timing.farnsworthWpm > wpm) {
        // Characters at f; the gaps stretched so that PARIS (31 element units, 19 spacing
        // units) still takes 60 / w seconds.
        const double f = timing.farnsworthWpm;
        u.element = 1200.0 / f;
        u.spacing = 1000.0 * (60.0 * f - 37.2 * w) / (19.0 * w * f);
    }
    u.weightShift = u.element * (timing.weighting - 50) / 50.0;
    return u;
}

Duration fromMs(double ms) {
    return Duration(std::llround(ms * 1e6));
}

}  // namespace

std::optional<std::string_view> morsePattern(char c) {
    for (const auto& [key, pattern] : kTable) {
        if (key == c) {
            return pattern;
        }
    }
    return std::nullopt;
}

ItemKeying keyPattern(std::string_view pattern, int wpm, const KeyerTiming& timing, bool rested) {
    ItemKeying keying;
    if (pattern.empty()) {
        return keying;
    }
    const Units u = unitsAt(wpm, timing);
    const double shift = u.weightShift + timing.compensationMs;
    const double space = std::max(0.0, u.element - shift);
    double at = 0;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        double mark =
            (pattern[i] == '-' ? 3.0 * u.element * timing.ratio / 50.0 : u.element) + shift;
        if (i == 0 && rested) {
            mark += timing.firstExtensionMs;
        }
        keying.marks.emplace_back(fromMs(at), fromMs(at + mark));
        at += mark + (i + 1 < pattern.size() ? space : 0.0);
    }
    keying.keyEnd = fromMs(at);
    keying.length = fromMs(at + std::max(0.0, 3.0 * u.spacing - shift));
    return keying;
}

ItemKeying keySilence(double spacingUnits, int wpm, const KeyerTiming& timing) {
    ItemKeying keying;
    keying.length = keying.keyEnd = fromMs(spacingUnits * unitsAt(wpm, timing).spacing);
    return keying;
}

Duration spacingUnit(int wpm, const KeyerTiming& timing) {
    return fromMs(unitsAt(wpm, timing).spacing);
}

ItemKeying keySteady(std::chrono::seconds length, bool tone, const KeyerTiming& timing,
                     bool rested) {
    ItemKeying keying;
    keying.length = keying.keyEnd =
        length + (tone && rested ? std::chrono::milliseconds(timing.firstExtensionMs)
                                 : std::chrono::milliseconds(0));
    if (tone) {
        keying.marks.emplace_back(Duration(0), keying.keyEnd);
    }
    return keying;
}

}  // namespace sim
