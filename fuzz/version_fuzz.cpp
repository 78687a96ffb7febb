// Any version file: finding its first line must not crash and must give a line of the text
// itself, free of line ends when it is used; an offer quotes that line and never the running
// version.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "update/version_rules.h"

namespace {

void require(bool holds) {
    if (!holds) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string body(reinterpret_cast<const char*>(data), size);
    const update::FirstLine line = update::firstLineOf(body);
    require(body.compare(0, line.text.size(), line.text) == 0);  // a start of the body
    if (!line.usable) {
        require(line.text.size() < 4);
        return 0;
    }
    require(line.text.size() >= 4 && line.text.find_first_of("\r\n") == std::string::npos);
    if (update::offersUpdate("1.64", line.text)) {
        require(line.text != "1.64");
        require(update::offerText(line.text) ==
                "Version " + line.text + " is available. Would you like to download it?");
    }
    return 0;
}
