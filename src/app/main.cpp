#include <QApplication>
#include <QDir>

#include "bridge/port_naming.h"
#include "platform/qt_message_boxes.h"
#include "platform/qt_serial_port.h"
#include "shell/main_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantrel"));
    QApplication::setApplicationVersion(shell::MainWindow::appVersion);
    // The windows are laid out to the pixel for a small, narrow sans-serif face.
    QFont face = QApplication::font();
    face.setPixelSize(11);
    face.setStretch(QFont::SemiCondensed);
    QApplication::setFont(face);

    const auto device = [](int number) { return bridge::devicePathForPort(number); };
    platform::QtSerialPort applicationPort(device);
    platform::QtSerialPort keyerPort(device);
    platform::QtMessageBoxes messages;

    shell::MainWindow window({applicationPort, keyerPort, messages});
    window.show();
    return QApplication::exec();
}
