#include "bridge/port_naming.h"

#include <QFileInfo>

namespace bridge {

QString devicePathForPort(int number, const QDir& workingDirectory) {
    // A dangling link still names the port, so that its error speaks of it.
    const auto present = [](const std::string& path) {
        const QFileInfo link(QString::fromStdString(path));
        return link.exists() || link.isSymLink();
    };
    return QString::fromStdString(
        portDevice(number, kThisPlatform, workingDirectory.path().toStdString(), present));
}

std::optional<std::int16_t> portFieldNumber(const QString& field) {
    return portFieldNumber(field.toStdString());
}

}  // namespace bridge
