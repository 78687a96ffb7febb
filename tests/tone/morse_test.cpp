#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "tone/element_schedule.h"
#include "tone/morse.h"

namespace {

TEST(Morse, PatternsOfTheTable) {
    struct Case {
        const char* code;
        const char* pattern;
    } cases[] = {
        {"69", "."},
        {"84", "-"},
        {"65", ".-"},
        {"81", "--.-"},
        {"90", "--.."},
        {"32", " "},
        {"48", "-----"},
        {"57", "----."},
        {"63", "..--.."},
        {"46", ".-.-.-"},
        {"44", "--..--"},
        {"47", "-..-."},
        {"45", "-....-"},
        {"34", ".-..-."},
        // Not in the table: lower case, '=', '(', the apostrophe, control codes, no number.
        {"97", ""},
        {"61", ""},
        {"40", ""},
        {"39", ""},
        {"10", ""},
        {"", ""},
        {"x", ""},
        {"8", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(tone::sendwave(c.code), c.pattern) << c.code;
    }
}

TEST(Morse, EveryLetterAndDigitHasAPattern) {
    for (int code = 0; code < 256; ++code) {
        const bool listed =
            (code >= 'A' && code <= 'Z') || (code >= '0' && code <= '9') ||
            std::string(" ?.,/-\"").find(static_cast<char>(code)) != std::string::npos;
        EXPECT_EQ(!tone::patternForCode(code).empty(), listed && code != 0) << code;
    }
}

TEST(ElementSchedule, UnitsOfEachPattern) {
    const double u = 1.15 / 28;
    struct Case {
        const char* pattern;
        std::vector<std::pair<double, double>> marks;  // start, length in units
        double units;
    } cases[] = {
        {"-", {{0, 3}}, 6},          {".", {{0, 1}}, 4}, {"...", {{0, 1}, {2, 1}, {4, 1}}, 8},
        {".-", {{0, 1}, {2, 3}}, 8}, {" ", {}, 4},       {"", {}, 2},
    };
    for (const auto& c : cases) {
        const auto s = tone::scheduleCharacter(c.pattern, 28);
        ASSERT_TRUE(s) << c.pattern;
        ASSERT_EQ(s->markCount, c.marks.size()) << c.pattern;
        for (std::size_t i = 0; i < c.marks.size(); ++i) {
            EXPECT_NEAR(s->marks[i].start, c.marks[i].first * u, 1e-12) << c.pattern;
            EXPECT_NEAR(s->marks[i].length, c.marks[i].second * u, 1e-12) << c.pattern;
        }
        EXPECT_NEAR(s->duration, c.units * u, 1e-12) << c.pattern;
    }
}

TEST(ElementSchedule, UnitFollowsTheSpeed) {
    struct Case {
        double wpm;
        double unitMs;
    } cases[] = {{28, 41.0714}, {20, 57.5}, {50, 23}, {5, 230}};
    for (const Case& c : cases) {
        EXPECT_NEAR(*tone::unitSeconds(c.wpm) * 1000, c.unitMs, 1e-3) << c.wpm;
    }
    for (double bad : {0.0, -1.0, 0.001, std::numeric_limits<double>::infinity(),
                       std::numeric_limits<double>::quiet_NaN()}) {
        EXPECT_FALSE(tone::unitSeconds(bad)) << bad;
    }
}

}  // namespace
