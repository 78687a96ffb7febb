#include "platform/number_text.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace numbers {
namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

template <typename Int>
std::optional<Int> roundTo(double value) {
    if (!std::isfinite(value)) {
        return std::nullopt;
    }
    const double rounded = std::nearbyint(value);  // the default mode rounds halves to even
    if (rounded < static_cast<double>(std::numeric_limits<Int>::min()) ||
        rounded > static_cast<double>(std::numeric_limits<Int>::max())) {
        return std::nullopt;
    }
    return static_cast<Int>(rounded);
}

}  // namespace

double leadingNumber(std::string_view text) {
    // Parsed by hand: the process locale (which Qt sets from the environment) must not turn
    // the decimal point into a comma.
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i++] == '-';
    }
    double value = 0.0;
    bool digits = false;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        value = value * 10.0 + (text[i] - '0');
        digits = true;
    }
    if (i < text.size() && text[i] == '.') {
        double scale = 0.1;
        for (++i; i < text.size() && isDigit(text[i]); ++i) {
            value += (text[i] - '0') * scale;
            scale /= 10.0;
            digits = true;
        }
    }
    if (!digits) {
        return 0.0;
    }
    // An exponent counts only when digits follow the E (and its sign).
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        bool negativeExponent = false;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
            negativeExponent = text[j++] == '-';
        }
        int exponent = 0;
        bool exponentDigits = false;
        for (; j < text.size() && isDigit(text[j]); ++j) {
            exponent = std::min(exponent * 10 + (text[j] - '0'), 100000);
            exponentDigits = true;
        }
        if (exponentDigits) {
            value *= std::pow(10.0, negativeExponent ? -exponent : exponent);
        }
    }
    return negative ? -value : value;
}

std::optional<std::int16_t> roundToInt16(double value) {
    return roundTo<std::int16_t>(value);
}
std::optional<std::int32_t> roundToInt32(double value) {
    return roundTo<std::int32_t>(value);
}

}  // namespace numbers
