#include <gtest/gtest.h>

#include <string>

#include "keyer/hex_text.h"
#include "support/param_names.h"

namespace {

struct Case {
    const char* text;
    std::string bytes;
};

// Shown in the test's name and in a failure: the text converted.
void PrintTo(const Case& c, std::ostream* os) {
    *os << '"' << c.text << '"';
}

class Converthex1Test : public testing::TestWithParam<Case> {};

TEST_P(Converthex1Test, ConvertsAsKeyersExpect) {
    EXPECT_EQ(keyer::Converthex1(GetParam().text), GetParam().bytes) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Table, Converthex1Test,
    testing::Values(
        // One or two digits: one byte.
        Case{"02", "\x02"}, Case{"2", "\x02"}, Case{" 2 ", "\x02"}, Case{"1c", "\x1C"},
        Case{"1C", "\x1C"}, Case{"32", "\x32"}, Case{"FF", "\xFF"},
        Case{"00", std::string(1, '\0')},
        // Inner blanks: only the first of two adjacent ones goes.
        Case{"0 E", "\x0E"}, Case{"0  E", ""},
        // Longer texts are read in pairs from the end; an odd first digit is lost.
        Case{"0E02", "\x02\x0E"}, Case{"12C", "\x2C"}, Case{"7FFFFFFF", "\xFF\xFF\xFF\x7F"},
        // Anything that is not hex gives nothing at all, even after good pairs.
        Case{"", ""}, Case{"   ", ""}, Case{"G1", ""}, Case{"1G02", ""}, Case{"-7", ""}),
    [](const testing::TestParamInfo<Case>& info) {
        return param_names::caseName(info.index, info.param.text);
    });

TEST(Converthex1, LongTextWithABlankKeepsAtMost255CharactersAfterIt) {
    const std::string text = "0 " + std::string(300, '1');
    // "0" + the 255 characters after the blank: 256 digits read in pairs.
    EXPECT_EQ(keyer::Converthex1(text), std::string(128, '\x11').replace(127, 1, "\x01"));
}

}  // namespace
