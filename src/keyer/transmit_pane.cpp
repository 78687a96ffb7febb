#include "keyer/transmit_pane.h"

namespace keyer {
namespace {

bool isControl(unsigned char b) {
    return b < 0x20;
}

}  // namespace

std::string transmitPaneText(std::string_view chunk) {
    std::string shown(chunk);
    if (shown.size() <= 1) {
        return shown;
    }
    for (std::size_t n = chunk.size(); n > 0 && !shown.empty(); --n) {
        if (!isControl(static_cast<unsigned char>(shown.front()))) {
            break;
        }
        shown = shown.substr(1, 255);
    }
    return shown;
}

}  // namespace keyer
