#pragma once

#include <QDir>
#include <QString>

#include <cstdint>
#include <optional>

namespace bridge {

// The device behind port number n. On Windows that is COMn. Elsewhere it is the first that
// exists of COMn or comn in the working directory (a link to any serial device: a USB adapter,
// one end of a virtual pair), and otherwise /dev/ttyS(n-1), where Linux puts COM n.
QString devicePathForPort(int number, const QDir& workingDirectory = QDir::current());

// The port number in a port field: blanks around it and a leading "COM" (any case) are
// skipped, then the leading number is read and rounded (halves to even); 0 when there is no
// number, nullopt when it does not fit 16 bits. So " 16 ", "COM16" and "com 16" are all 16.
std::optional<std::int16_t> portFieldNumber(const QString& field);

}  // namespace bridge
