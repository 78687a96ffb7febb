#include "tone/morse.h"

#include <array>

#include "platform/number_text.h"

namespace tone {
namespace {

struct Row {
    int code;
    std::string_view pattern;
};

// International Morse code for the characters a keyer sends.
constexpr std::array<Row, 43> kTable{{
    {65, ".-"},     {66, "-..."},   {67, "-.-."},   {68, "-.."},    {69, "."},     {70, "..-."},
    {71, "--."},    {72, "...."},   {73, ".."},     {74, ".---"},   {75, "-.-"},   {76, ".-.."},
    {77, "--"},     {78, "-."},     {79, "---"},    {80, ".--."},   {81, "--.-"},  {82, ".-."},
    {83, "..."},    {84, "-"},      {85, "..-"},    {86, "...-"},   {87, ".--"},   {88, "-..-"},
    {89, "-.--"},   {90, "--.."},   {32, " "},      {48, "-----"},  {49, ".----"}, {50, "..---"},
    {51, "...--"},  {52, "....-"},  {53, "....."},  {54, "-...."},  {55, "--..."}, {56, "---.."},
    {57, "----."},  {63, "..--.."}, {46, ".-.-.-"}, {44, "--..--"}, {47, "-..-."}, {45, "-....-"},
    {34, ".-..-."},  // quotation mark
}};

}  // namespace

std::string_view patternForCode(double code) {
    for (const Row& row : kTable) {
        if (code == row.code) {
            return row.pattern;
        }
    }
    return {};
}

std::string_view sendwave(std::string_view codeText) {
    return patternForCode(numbers::leadingNumber(codeText));
}

}  // namespace tone
