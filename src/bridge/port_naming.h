#pragma once

#include <QDir>
#include <QString>

#include <cstdint>
#include <optional>

#include "bridge/port_name_rules.h"

namespace bridge {

// The device behind port number n on this platform, looked for in `workingDirectory` (see
// portDevice).
QString devicePathForPort(int number, const QDir& workingDirectory = QDir::current());

// The port number in a port field (see the rule of the same name).
std::optional<std::int16_t> portFieldNumber(const QString& field);

}  // namespace bridge
