#include "shell/settings_file.h"

#include <QFile>
#include <QSaveFile>

namespace settings {
namespace {

const QString kWrittenName = QStringLiteral("VanTrel.ini");
const QString kTestedName = QStringLiteral("Vantrel.ini");
// Far more than seven lines can need; a larger file is read only this far.
constexpr qint64 kMostBytesRead = 4 * 1024 * 1024;

}  // namespace

QString findFile(const QDir& dir) {
    for (const QString& name : {kWrittenName, kTestedName}) {
        if (QFileInfo(dir.filePath(name)).isFile()) {
            return dir.filePath(name);
        }
    }
    // Name filters compare without regard to case.
    const QStringList others = dir.entryList({kWrittenName}, QDir::Files | QDir::Hidden);
    return others.isEmpty() ? QString() : dir.filePath(others.first());
}

std::optional<Loaded> load(const QDir& dir) {
    const QString path = findFile(dir);
    if (path.isEmpty()) {
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QByteArray bytes = file.read(kMostBytesRead);
    return decode(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

QString save(const QDir& dir, const Values& values) {
    QString path = findFile(dir);
    if (path.isEmpty()) {
        path = dir.filePath(kWrittenName);
    }
    QSaveFile file(path);
    const std::string bytes = encode(values);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(bytes.data(), static_cast<qint64>(bytes.size())) !=
            static_cast<qint64>(bytes.size()) ||
        !file.commit()) {
        return file.errorString();
    }
    return {};
}

}  // namespace settings
