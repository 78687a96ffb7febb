#pragma once

#include <string>
#include <string_view>

namespace keyer {

// What the transmit pane shows for an application chunk: longer chunks lose their leading
// control bytes (speed and mode commands), a single byte is shown as it is.
std::string transmitPaneText(std::string_view chunk);

}  // namespace keyer
