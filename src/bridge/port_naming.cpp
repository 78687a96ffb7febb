#include "bridge/port_naming.h"

#include <QFileInfo>

#include "platform/number_text.h"

namespace bridge {

QString devicePathForPort(int number, const QDir& workingDirectory) {
#ifdef Q_OS_WIN
    Q_UNUSED(workingDirectory);
    return QStringLiteral("COM%1").arg(number);
#else
    for (const QString& name : {QStringLiteral("COM%1"), QStringLiteral("com%1")}) {
        const QFileInfo link(workingDirectory.filePath(name.arg(number)));
        // A dangling link still names the port, so that its error speaks of it.
        if (link.exists() || link.isSymLink()) {
            return link.filePath();
        }
    }
    return QStringLiteral("/dev/ttyS%1").arg(number - 1);
#endif
}

std::optional<std::int16_t> portFieldNumber(const QString& field) {
    QString text = field.trimmed();
    if (text.startsWith(QLatin1String("COM"), Qt::CaseInsensitive)) {
        text.remove(0, 3);
    }
    return numbers::roundToInt16(numbers::leadingNumber(text.toStdString()));
}

}  // namespace bridge
