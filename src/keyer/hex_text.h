#pragma once

#include <string>
#include <string_view>

namespace keyer {

// Turns hexadecimal text into bytes (one char per byte), the way the keyer commands that the
// program sends itself are built: "02" -> 0x02, "1C" -> 0x1C.
//
// The rules are kept exactly as keyers and loggers have always seen them, quirks included:
// - outer blanks are trimmed and a lone digit gets a leading "0" ("2" -> 0x02);
// - of two adjacent inner blanks only the first is removed ("0  E" stays "0 E");
// - text of more than two digits is read in pairs from its end ("0E02" -> 0x02 0x0E), so the
//   first digit of an odd-length text is lost ("12C" -> 0x2C);
// - any character that is not a hex digit, or empty text, gives empty text.
std::string Converthex1(std::string_view text);

}  // namespace keyer
