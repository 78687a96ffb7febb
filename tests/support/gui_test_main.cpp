#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>

namespace {

// The offscreen platform says this on every show; it tells nothing.
void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.contains(QLatin1String("propagateSizeHints"))) {
        return;
    }
    qt_message_output(type, context, message);
}

}  // namespace

// Window tests run without a display unless one is asked for.
int main(int argc, char** argv) {
    qInstallMessageHandler(quietHandler);
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
