#pragma once

#include <string_view>

// The character table of the monitor: which dits and dahs a character code sounds as.
namespace tone {

// The pattern of a character code: "." dit, "-" dah, " " word space; empty for a code the
// table lacks (lower case, unlisted punctuation, control codes).
std::string_view patternForCode(double code);

// The pattern for a code taken from the monitor queue as decimal text ("84" is T), the text
// compared with the table's codes as a number.
std::string_view sendwave(std::string_view codeText);

}  // namespace tone
