#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// How the operator's text fields are read as numbers: the leading numeric part (blanks before
// it skipped, anything after it ignored), 0 when the text does not begin with a number. So
// "250 ms" is 250, " 16" is 16, "COM5" and "" are 0. Locale-independent: the point is '.'.
namespace numbers {

double leadingNumber(std::string_view text);

// Rounds to the nearest whole number, halves to even (2.5 -> 2, 3.5 -> 4), when the result
// fits the range; nullopt otherwise.
std::optional<std::int16_t> roundToInt16(double value);
std::optional<std::int32_t> roundToInt32(double value);

}  // namespace numbers
