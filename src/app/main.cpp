#include <QApplication>
#include <QDir>
#include <QSessionManager>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/signal_end.h"
#include "bridge/port_naming.h"
#include "platform/qt_message_boxes.h"
#include "platform/qt_serial_port.h"
#include "shell/main_window.h"
#include "shell/version.h"

namespace {

// While the window toolkit starts, its messages are held back: when it cannot open a display
// it says several things and then aborts; the operator gets one clear line instead.
std::vector<std::pair<QtMsgType, QString>> heldMessages;
QString firstWarning;

void holdStartMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type != QtFatalMsg) {
        if (firstWarning.isEmpty() && type != QtDebugMsg) {
            firstWarning = message;
        }
        heldMessages.emplace_back(type, message);
        return;
    }
    const std::string line = app::noDisplayLine(
        qEnvironmentVariable("DISPLAY").toStdString(),
        qEnvironmentVariable("WAYLAND_DISPLAY").toStdString(), firstWarning.toStdString());
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
    std::_Exit(1);
}

// A save that failed while the program ends is said on stderr, there being nobody to read a
// message box.
void sayIfFailed(const QString& error) {
    if (!error.isEmpty()) {
        std::fprintf(stderr, "vantrel: %s\n", error.toLocal8Bit().constData());
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (const auto answer = app::answerCommandLine(arguments, shell::kVersion)) {
        std::fputs(answer->text.c_str(), answer->toStderr ? stderr : stdout);
        return answer->exitCode;
    }

    const QtMessageHandler previous = qInstallMessageHandler(holdStartMessages);
    QApplication application(argc, argv);
    qInstallMessageHandler(previous);
    for (const auto& [type, message] : heldMessages) {
        qt_message_output(type, QMessageLogContext(), message);
    }
    heldMessages.clear();

    QApplication::setApplicationName(QStringLiteral("Vantrel"));
    QApplication::setApplicationVersion(QString::fromLatin1(shell::kVersion));
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

    // However the program ends, it ends as a close does: the settings saved, the ports closed.
    // A signal (a logout, systemctl, kill, Ctrl+C, a closed terminal) ends it at once.
    const auto endAndSay = [&window] { sayIfFailed(window.end()); };
    app::SignalEnd endingSignals;
    QObject::connect(&endingSignals, &app::SignalEnd::endRequested, &application, [&](int) {
        endAndSay();
        QApplication::quit();
    });
    // The desktop session is ending: save now, for it may end the program without a close.
    QObject::connect(&application, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager&) { sayIfFailed(window.saveSettings()); });
    QObject::connect(&application, &QCoreApplication::aboutToQuit, &window, endAndSay);

    window.show();
    return QApplication::exec();
}
