// Saves pictures of the main window, narrow and wide, for the documentation.
#include <QApplication>
#include <QDir>
#include <QMenuBar>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include "bridge/port_naming.h"
#include "platform/qt_message_boxes.h"
#include "platform/qt_serial_port.h"
#include "shell/main_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QFont face = QApplication::font();  // as the program sets it
    face.setPixelSize(11);
    face.setStretch(QFont::SemiCondensed);
    QApplication::setFont(face);
    const QString out = argc > 1 ? QDir(argv[1]).absolutePath() : QDir::currentPath();
    QTemporaryDir folder;
    QDir::setCurrent(folder.path());

    const auto device = [](int number) { return bridge::devicePathForPort(number); };
    platform::QtSerialPort applicationPort(device);
    platform::QtSerialPort keyerPort(device);
    platform::QtMessageBoxes messages;
    shell::MainWindow window({applicationPort, keyerPort, messages});
    window.move(40, 40);
    window.show();

    const auto shoot = [&](const QString& name) {
        QScreen* screen = window.screen();
        const QRect frame = window.frameGeometry();
        screen->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height())
            .save(out + "/" + name);
    };
    QTimer::singleShot(800, [&] {
        shoot(QStringLiteral("narrow.png"));
        window.findChild<QAction*>(QStringLiteral("Xmt"))->trigger();
        QTimer::singleShot(800, [&] {
            shoot(QStringLiteral("wide.png"));
            // The other windows, drawn by themselves.
            for (const char* item : {"About", "Dev"}) {
                window.findChild<QAction*>(QString::fromLatin1(item))->trigger();
            }
            QTimer::singleShot(800, [&] {
                for (const char* name : {"AboutFrm", "Devices"}) {
                    if (auto* other = window.findChild<QWidget*>(QString::fromLatin1(name))) {
                        other->grab().save(out + "/" + QString::fromLatin1(name).toLower() +
                                           ".png");
                    }
                }
                QApplication::quit();
            });
        });
    });
    return QApplication::exec();
}
