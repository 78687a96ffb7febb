#pragma once

#include <cctype>
#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

// Readable names for parameterised cases, the same from run to run: the case's index, then what
// it is about, in letters, digits and underscores (anything else becomes "_"), or its bytes in
// hex.
namespace param_names {

inline std::string caseName(std::size_t index, std::string_view what) {
    std::string name = std::to_string(index);
    if (!what.empty()) {
        name += '_';
    }
    for (const char c : what) {
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    }
    return name;
}

inline std::string hex(std::string_view bytes) {
    std::string out;
    for (const char c : bytes) {
        char two[3];
        std::snprintf(two, sizeof two, "%02X", static_cast<unsigned char>(c));
        out += two;
    }
    return out;
}

}  // namespace param_names
