#include "tone/morse.h"

#include <array>
#include <utility>

namespace tone {
namespace {

using Row = std::pair<char, std::string_view>;

// Letters, figures and punctuation of international Morse, then the keyer's own signs.
// clang-format off
constexpr std::array<Row, 56> kTable{{
    {'A', ".-"},      {'B', "-..."},   {'C', "-.-."},   {'D', "-.."},    {'E', "."},
    {'F', "..-."},    {'G', "--."},    {'H', "...."},   {'I', ".."},     {'J', ".---"},
    {'K', "-.-"},     {'L', ".-.."},   {'M', "--"},     {'N', "-."},     {'O', "---"},
    {'P', ".--."},    {'Q', "--.-"},   {'R', ".-."},    {'S', "..."},    {'T', "-"},
    {'U', "..-"},     {'V', "...-"},   {'W', ".--"},    {'X', "-..-"},   {'Y', "-.--"},
    {'Z', "--.."},    {'1', ".----"},  {'2', "..---"},  {'3', "...--"},  {'4', "....-"},
    {'5', "....."},   {'6', "-...."},  {'7', "--..."},  {'8', "---.."},  {'9', "----."},
    {'0', "-----"},   {'.', ".-.-.-"}, {',', "--..--"}, {':', "---..."}, {'?', "..--.."},
    {'\'', ".----."}, {'-', "-....-"}, {'/', "-..-."},  {'(', "-.--."},  {')', "-.--.-"},
    {'"', ".-..-."},  {'=', "-...-"},  {'+', ".-.-."},  {'@', ".--.-."},
    // Prosigns on punctuation keys (AR, SK, SN, AS) and three more signs a WinKeyer keys.
    {'<', ".-.-."},   {'>', "...-.-"}, {'!', "...-."},  {'&', ".-..."},  {';', "-.-.-."},
    {'$', "...-..-"}, {'_', "..--.-"},
}};
// clang-format on

}  // namespace

std::optional<std::string_view> patternFor(unsigned char character) {
    for (const auto& [key, pattern] : kTable) {
        if (static_cast<unsigned char>(key) == character) {
            return pattern;
        }
    }
    return std::nullopt;
}

}  // namespace tone
