#pragma once

#include <QDir>
#include <QString>

namespace bridge {

// The device behind port number n. On Windows that is COMn. Elsewhere it is the first that
// exists of COMn or comn in the working directory (a link to any serial device: a USB adapter,
// one end of a virtual pair), and otherwise /dev/ttyS(n-1), where Linux puts COM n.
QString devicePathForPort(int number, const QDir& workingDirectory = QDir::current());

}  // namespace bridge
