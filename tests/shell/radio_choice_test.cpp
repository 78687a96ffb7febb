#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "shell/radio_choice.h"

namespace settings {
void PrintTo(const RadioChoice& c, std::ostream* os) {
    *os << "{input \"" << c.input << "\", pitch "
        << (c.pitchHz ? std::to_string(*c.pitchHz) : std::string("found")) << ", follow "
        << c.follow << "}";
}
}  // namespace settings

namespace {

using settings::RadioChoice;

TEST(RadioChoice, RoundTripsWhatTheOperatorChose) {
    for (const RadioChoice& c : {RadioChoice{}, RadioChoice{"radio_rx.monitor", 650, true},
                                 RadioChoice{"alsa_input.usb-Codec-00.analog-mono", {}, false}}) {
        EXPECT_EQ(settings::decodeRadioChoice(settings::encodeRadioChoice(c)), c) << c.input;
    }
}

// Whatever the file holds, what reads is taken and the rest keeps its default.
TEST(RadioChoice, ReadsWhatItCanOfAnyFile) {
    const struct {
        const char* what;
        std::string text;
        RadioChoice want;
    } cases[] = {
        {"empty", "", {}},
        {"Windows line ends and spaces",
         "input = Line 1 (Virtual Cable)\r\npitch= 700\r\nfollow=1\r\n",
         {"Line 1 (Virtual Cable)", 700, true}},
        {"no last line end", "follow=1", {"", {}, true}},
        {"a pitch out of range", "pitch=20000\n", {}},
        {"a pitch too low", "pitch=20\n", {}},
        {"a pitch that is no number", "pitch=7OO\n", {}},
        {"follow other than 1", "follow=yes\n", {}},
        {"unknown keys and comments", "# note\nvolume=3\ninput=x\nnonsense\n", {"x", {}, false}},
        {"binary", std::string("\0\xff=\n=\ninput=\xe9\n", 14), {"\xe9", {}, false}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(settings::decodeRadioChoice(c.text), c.want) << c.what;
    }
}

// A line end in an input's id cannot break the file into more lines.
TEST(RadioChoice, AnIdStaysOnItsLine) {
    const RadioChoice odd{"a\nfollow=1\r", 700, false};
    const RadioChoice read = settings::decodeRadioChoice(settings::encodeRadioChoice(odd));
    EXPECT_FALSE(read.follow);
    EXPECT_EQ(read.input, "afollow=1");
}

}  // namespace
