#include "platform/qt_desktop.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QUrl>
#include <QWidget>

namespace platform {

QtDesktop::~QtDesktop() {
    setBusy(false);
}

bool QtDesktop::openUrl(const QString& address) {
    return QDesktopServices::openUrl(QUrl(address, QUrl::TolerantMode));
}

void QtDesktop::keepOnTop(QWidget& window, bool onTop) {
    if (window.windowFlags().testFlag(Qt::WindowStaysOnTopHint) == onTop) {
        return;
    }
    // Changing a window flag hides a shown window; put it back where it was.
    const bool visible = window.isVisible();
    const QRect geometry = window.geometry();
    window.setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    if (visible) {
        window.setGeometry(geometry);
        window.show();
    }
}

bool QtDesktop::startProgram(const QString& path, QString& error) {
    QProcess process;
    process.setProgram(path);
    process.setWorkingDirectory(QFileInfo(path).absolutePath());
    if (!process.startDetached()) {
        error = process.errorString();
        return false;
    }
    return true;
}

void QtDesktop::setBusy(bool busy) {
    if (busy == busy_) {
        return;
    }
    busy_ = busy;
    if (busy) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QGuiApplication::restoreOverrideCursor();
    }
}

}  // namespace platform
