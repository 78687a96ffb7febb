#pragma once

#include <optional>
#include <string>
#include <string_view>

// The operator's choice for measuring the radio's delay, kept in a file of its own beside the
// seven-line settings file (other tools read that one; it stays as it is). One "key=value" per
// line; lines it does not know are passed over, so a newer file still reads.
namespace settings {

struct RadioChoice {
    std::string input;           // the sound input with the radio's audio; empty: none
    std::optional<int> pitchHz;  // the radio's CW pitch when the operator gives it
    bool follow = false;         // the latency follows the measured delay

    // The pitches an operator may give: a receiver's CW filter lies well inside them.
    static constexpr int kLowestPitchHz = 200;
    static constexpr int kHighestPitchHz = 2000;

    bool operator==(const RadioChoice&) const = default;
};

// What the file holds; a value that does not read keeps its default.
RadioChoice decodeRadioChoice(std::string_view text);
std::string encodeRadioChoice(const RadioChoice& choice);

}  // namespace settings
