#include <gtest/gtest.h>

#include <string>

#include "tone/morse.h"

namespace {

TEST(Morse, PatternsOfTheTable) {
    const struct {
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
        {"8", ""}};
    for (const auto& c : cases) {
        EXPECT_EQ(tone::sendwave(c.code), c.pattern) << c.code;
    }
    for (int code = 0; code < 256; ++code) {
        const bool listed =
            (code >= 'A' && code <= 'Z') || (code >= '0' && code <= '9') ||
            std::string(" ?.,/-\"").find(static_cast<char>(code)) != std::string::npos;
        EXPECT_EQ(!tone::patternForCode(code).empty(), listed && code != 0) << code;
    }
}

}  // namespace
