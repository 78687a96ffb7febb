#include "update/about_window.h"

namespace update {

AboutWindow::AboutWindow(const QString&, platform::MessageBoxes&, QWidget* parent)
    : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("AboutFrm"));
    setWindowTitle(QStringLiteral("About"));
}

}  // namespace update
