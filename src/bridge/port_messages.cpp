#include "bridge/port_messages.h"

#include <QDir>
#include <QFileInfo>

namespace bridge {

QString openFailureText(MessagePlatform platform, const SideWords& side,
                        const OpenAttempt& attempt) {
    PortAttempt pure;
    pure.description = attempt.description.toStdString();
    pure.typed = attempt.typed.toStdString();
    pure.number = attempt.number;
    pure.device = attempt.device.toStdString();
    pure.folder = QDir::toNativeSeparators(attempt.folder).toStdString();
    pure.deviceInFolder =
        !attempt.device.isEmpty() &&
        QFileInfo(attempt.device).absolutePath() == QFileInfo(attempt.folder).absoluteFilePath();
    return QString::fromStdString(openFailureText(platform, side, pure));
}

QString lostPortText(const SideWords& side, const QString& description, int number,
                     const QString& device) {
    return QString::fromStdString(
        lostPortText(side, description.toStdString(), number, device.toStdString()));
}

}  // namespace bridge
