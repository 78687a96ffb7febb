#include "keyer/hex_text.h"

#include <optional>

namespace keyer {
namespace {

std::optional<int> hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return std::nullopt;
}

// One or two hex digits as a byte value.
std::optional<char> hexByte(std::string_view digits) {
    if (digits.empty()) {
        return std::nullopt;
    }
    int value = 0;
    for (char c : digits) {
        const auto digit = hexDigit(c);
        if (!digit) {
            return std::nullopt;
        }
        value = value * 16 + *digit;
    }
    return static_cast<char>(value);
}

std::string trimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

}  // namespace

std::string Converthex1(std::string_view input) {
    std::string text = trimBlanks(input);
    if (text.size() == 1) {
        text.insert(text.begin(), '0');
    }

    // Inner blanks: the scan moves on after each removal, so the character that slid into the
    // removed blank's place is never looked at; each removal keeps at most 255 characters after
    // the blank.
    const std::size_t length = text.size();
    for (std::size_t i = 0; i < length && i < text.size(); ++i) {
        if (text[i] == ' ') {
            text = text.substr(0, i) + text.substr(i + 1, 255);
        }
    }

    if (text.size() <= 2) {
        const auto byte = hexByte(text);
        return byte ? std::string(1, *byte) : std::string();
    }

    std::string bytes;
    for (std::size_t end = text.size(); end >= 2; end -= 2) {
        const auto byte = hexByte(std::string_view(text).substr(end - 2, 2));
        if (!byte) {
            return {};
        }
        bytes += *byte;
    }
    return bytes;
}

}  // namespace keyer
