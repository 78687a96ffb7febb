#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "bridge/port_platform.h"

// How a port field becomes a port number and a port number a device. No Qt: the same rules
// are tested on every platform's ABI.
namespace bridge {

// The port number in a port field: blanks around it and a leading "COM" (any case) are
// skipped, then the leading number is read and rounded (halves to even); 0 when there is no
// number, nullopt when it does not fit 16 bits. So " 16 ", "COM16" and "com 16" are all 16.
std::optional<std::int16_t> portFieldNumber(std::string_view field);

// The device behind port number n. On Windows that is COMn: the serial library itself puts
// the prefix \\.\ in front, which COM10 and above need. Elsewhere it is the first of COMn and comn
// in `folder` for which `present` is true (a link to any serial device: a USB adapter, one end of a
// virtual pair), and otherwise /dev/ttyS(n-1), where Linux puts COM n.
std::string portDevice(int number, PortPlatform platform, std::string_view folder,
                       const std::function<bool(const std::string& path)>& present);

}  // namespace bridge
