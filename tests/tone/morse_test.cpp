#include <gtest/gtest.h>

#include <map>
#include <string>

#include "tone/morse.h"

namespace {

// The whole table, restated: international Morse (ITU-R M.1677-1) for letters, figures and
// punctuation, then the signs a WinKeyer gives to other keys. Every other byte keys nothing.
TEST(Morse, TheKeyersTableByValue) {
    const std::map<char, std::string> itu{
        {'A', ".-"},      {'B', "-..."},   {'C', "-.-."},   {'D', "-.."},    {'E', "."},
        {'F', "..-."},    {'G', "--."},    {'H', "...."},   {'I', ".."},     {'J', ".---"},
        {'K', "-.-"},     {'L', ".-.."},   {'M', "--"},     {'N', "-."},     {'O', "---"},
        {'P', ".--."},    {'Q', "--.-"},   {'R', ".-."},    {'S', "..."},    {'T', "-"},
        {'U', "..-"},     {'V', "...-"},   {'W', ".--"},    {'X', "-..-"},   {'Y', "-.--"},
        {'Z', "--.."},    {'1', ".----"},  {'2', "..---"},  {'3', "...--"},  {'4', "....-"},
        {'5', "....."},   {'6', "-...."},  {'7', "--..."},  {'8', "---.."},  {'9', "----."},
        {'0', "-----"},   {'.', ".-.-.-"}, {',', "--..--"}, {':', "---..."}, {'?', "..--.."},
        {'\'', ".----."}, {'-', "-....-"}, {'/', "-..-."},  {'(', "-.--."},  {')', "-.--.-"},
        {'"', ".-..-."},  {'=', "-...-"},  {'+', ".-.-."},  {'@', ".--.-."}};
    const std::map<char, std::string> keyerSigns{{'<', ".-.-."}, {'>', "...-.-"}, {'!', "...-."},
                                                 {'&', ".-..."}, {';', "-.-.-."}, {'$', "...-..-"},
                                                 {'_', "..--.-"}};
    for (int c = 0; c < 256; ++c) {
        const auto key = static_cast<char>(c);
        std::string want;
        if (itu.contains(key)) {
            want = itu.at(key);
        } else if (keyerSigns.contains(key)) {
            want = keyerSigns.at(key);
        }
        const auto got = tone::patternFor(static_cast<unsigned char>(c));
        EXPECT_EQ(got.value_or(""), want) << "character " << c;
        EXPECT_EQ(got.has_value(), !want.empty()) << "character " << c;
    }
}

}  // namespace
