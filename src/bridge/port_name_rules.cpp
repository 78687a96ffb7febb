#include "bridge/port_name_rules.h"

#include "platform/number_text.h"

namespace bridge {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool startsWithCom(std::string_view text) {
    constexpr std::string_view kCom = "com";
    if (text.size() < kCom.size()) {
        return false;
    }
    for (std::size_t i = 0; i < kCom.size(); ++i) {
        const char c = text[i];
        if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != kCom[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::optional<std::int16_t> portFieldNumber(std::string_view field) {
    while (!field.empty() && isBlank(field.front())) {
        field.remove_prefix(1);
    }
    while (!field.empty() && isBlank(field.back())) {
        field.remove_suffix(1);
    }
    if (startsWithCom(field)) {
        field.remove_prefix(3);
    }
    return numbers::roundToInt16(numbers::leadingNumber(field));
}

std::string portDevice(int number, PortPlatform platform, std::string_view folder,
                       const std::function<bool(const std::string& path)>& present) {
    const std::string n = std::to_string(number);
    if (platform == PortPlatform::Windows) {
        return "COM" + n;
    }
    std::string base(folder);
    if (!base.empty() && base.back() != '/') {
        base += '/';
    }
    for (const char* name : {"COM", "com"}) {
        const std::string path = base + name + n;
        if (present(path)) {
            return path;
        }
    }
    return "/dev/ttyS" + std::to_string(number - 1);
}

}  // namespace bridge
