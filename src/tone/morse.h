#pragma once

#include <optional>
#include <string_view>

// The keyer's character table: which dits and dahs a text character keys as.
namespace tone {

// The pattern of a character ("." dit, "-" dah): letters, digits and punctuation in
// international Morse, and the keys a WinKeyer gives to prosigns (< AR, > SK, ! SN, & AS) and a
// few more signs. nullopt for a character the keyer ignores (lower case, control codes and
// anything else outside the table). The blank and "|" are spacing, not signs: nullopt too.
std::optional<std::string_view> patternFor(unsigned char character);

}  // namespace tone
