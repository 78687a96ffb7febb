#include <gtest/gtest.h>

#include <clocale>

#include "platform/number_text.h"

namespace {

TEST(LeadingNumber, ReadsTheNumberAtTheStartOfAField) {
    const std::pair<const char*, double> cases[] = {
        {"28", 28}, {" 16", 16}, {"250 ms", 250},   {"COM5", 0},  {"", 0},       {"   ", 0},
        {"-7", -7}, {"+3", 3},   {"2.5", 2.5},      {".5x", 0.5}, {"1e3", 1000}, {"1e", 1},
        {"7 8", 7}, {"-", 0},    {"-2000 ", -2000}, {"\t5", 0},   {"1.65", 1.65}};
    for (const auto& [text, value] : cases) {
        EXPECT_DOUBLE_EQ(numbers::leadingNumber(text), value) << text;
    }
    EXPECT_GT(numbers::leadingNumber(std::string(40, '9')), 1e39);
}

TEST(LeadingNumber, IgnoresTheProcessLocale) {
    // A German desktop writes decimals with a comma; the fields do not.
    const char* old = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    EXPECT_DOUBLE_EQ(numbers::leadingNumber("1.64"), 1.64);
    if (old != nullptr) {
        std::setlocale(LC_NUMERIC, "C");
    }
}

TEST(Rounding, HalvesGoToEvenAndRangesAreKept) {
    EXPECT_EQ(numbers::roundToInt16(2.5), 2);
    EXPECT_EQ(numbers::roundToInt16(3.5), 4);
    EXPECT_EQ(numbers::roundToInt16(-2.5), -2);
    EXPECT_EQ(numbers::roundToInt16(32767.4), 32767);
    EXPECT_FALSE(numbers::roundToInt16(32767.5));
    EXPECT_FALSE(numbers::roundToInt16(-32769));
    EXPECT_EQ(numbers::roundToInt32(27.5), 28);
    EXPECT_FALSE(numbers::roundToInt32(99999999999.0));
    EXPECT_FALSE(numbers::roundToInt32(numbers::leadingNumber("1e400")));
}

}  // namespace
