#pragma once

#include <string>
#include <string_view>

namespace sim {

// One line of the traffic log: seconds since the start, who, the bytes in hex and, after a bar,
// the same bytes as text with a dot for anything unprintable.
//    12.345  logger sends  13 13 13 00 04 55  |.....U|
std::string logLine(double seconds, std::string_view who, std::string_view bytes);

// A note in the same log: "    12.345  # text".
std::string noteLine(double seconds, std::string_view text);

}  // namespace sim
