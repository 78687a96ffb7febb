#include "byte_log.h"

#include <cstdio>

namespace sim {
namespace {

std::string stamp(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%10.3f  ", seconds);
    return text;
}

}  // namespace

std::string logLine(double seconds, std::string_view who, std::string_view bytes) {
    std::string line = stamp(seconds);
    line += who;
    line.append(who.size() < 14 ? 14 - who.size() : 0, ' ');
    std::string text;
    for (char c : bytes) {
        char hex[4];
        std::snprintf(hex, sizeof hex, " %02X", static_cast<unsigned char>(c));
        line += hex;
        const auto byte = static_cast<unsigned char>(c);
        text += byte >= 0x20 && byte < 0x7F ? c : '.';
    }
    return line + "  |" + text + "|";
}

std::string noteLine(double seconds, std::string_view text) {
    return stamp(seconds) + "# " + std::string(text);
}

}  // namespace sim
