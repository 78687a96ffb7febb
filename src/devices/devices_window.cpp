#include "devices/devices_window.h"

namespace devices {

DevicesWindow::DevicesWindow(const QStringList&, int, QWidget* parent)
    : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("Devices"));
    setWindowTitle(QStringLiteral("Devices"));
}

}  // namespace devices
