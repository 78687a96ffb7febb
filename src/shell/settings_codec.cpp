#include "shell/settings_codec.h"

#include <vector>

#include "keyer/speed_command.h"
#include "platform/number_text.h"

namespace settings {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

std::string number(int value) {
    return (value < 0 ? "" : " ") + std::to_string(value) + " ";
}

// Lines end in CR LF; a file edited elsewhere may end them in LF, CR or LF CR. A CR and an LF
// next to each other, in either order, make one line end; any other CR or LF ends a line alone.
std::vector<std::string_view> splitLines(std::string_view file, std::size_t most) {
    std::vector<std::string_view> lines;
    while (!file.empty() && lines.size() < most) {
        const auto end = file.find_first_of("\r\n");
        if (end == std::string_view::npos) {
            lines.push_back(file);
            break;
        }
        lines.push_back(file.substr(0, end));
        std::size_t next = end + 1;
        if (next < file.size() && (file[next] == '\r' || file[next] == '\n') &&
            file[next] != file[end]) {
            ++next;
        }
        file.remove_prefix(next);
    }
    return lines;
}

// A number line: its leading number rounded to a 16-bit integer, within [low, high].
std::optional<int> numberLine(std::string_view line, int low, int high) {
    const auto value = numbers::roundToInt16(numbers::leadingNumber(line));
    if (!value || *value < low || *value > high) {
        return std::nullopt;
    }
    return *value;
}

}  // namespace

std::string encode(const Values& v) {
    std::string file;
    for (const std::string& line :
         {v.applicationPort, v.keyerPort, number(v.volume), number(v.speed), v.latency,
          number(v.soundDeviceIndex), number(v.pitch)}) {
        file += line;
        file += kLineEnd;
    }
    return file;
}

Loaded decode(std::string_view file) {
    Loaded loaded;
    const auto lines = splitLines(file, 7);
    const auto line = [&](std::size_t i) -> std::optional<std::string_view> {
        if (i < lines.size()) {
            return lines[i];
        }
        return std::nullopt;
    };

    // Each step either accepts its line or ends the reading there.
    if (auto l = line(0)) {
        loaded.applicationPort = std::string(*l);
    } else {
        return loaded;
    }
    if (auto l = line(1)) {
        loaded.keyerPort = std::string(*l);
    } else {
        return loaded;
    }
    if (auto l = line(2); !l || !(loaded.volume = numberLine(*l, -3000, 0))) {
        return loaded;
    }
    if (auto l = line(3); !l || !(loaded.speed = numberLine(*l, keyer::SpeedRange::kSlowest,
                                                            keyer::SpeedRange::kFastest))) {
        return loaded;
    }
    if (auto l = line(4)) {
        loaded.latency = std::string(*l);
    } else {
        return loaded;
    }
    if (auto l = line(5); !l || !(loaded.soundDeviceIndex = numberLine(*l, -32768, 32767))) {
        return loaded;
    }
    if (auto l = line(6)) {
        loaded.pitch = numberLine(*l, 3000, 8000);
    }
    return loaded;
}

}  // namespace settings
