#include "shell/settings_file.h"

#include <QFile>

#include "platform/whole_file_writer.h"

namespace settings {
namespace {

const QString kWrittenName = QStringLiteral("VanTrel.ini");
const QString kTestedName = QStringLiteral("Vantrel.ini");
const QString kRadioName = QStringLiteral("VanTrelRadio.ini");
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
    const std::string content = encode(values);
    const QByteArrayView bytes(content.data(), static_cast<qsizetype>(content.size()));
    platform::WholeFileWriter file(path);
    if (file.open()) {
        return file.write(bytes) && file.commit() ? QString() : file.errorString();
    }
    // The folder takes no new file beside the old one: write the old one where it stands.
    if (QFileInfo(path).isFile()) {
        return platform::overwriteInPlace(path, bytes);
    }
    return file.errorString();
}

RadioChoice loadRadioChoice(const QDir& dir) {
    QFile file(dir.filePath(kRadioName));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray bytes = file.read(kMostBytesRead);
    return decodeRadioChoice(
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

QString saveRadioChoice(const QDir& dir, const RadioChoice& choice) {
    const std::string content = encodeRadioChoice(choice);
    platform::WholeFileWriter file(dir.filePath(kRadioName));
    if (!file.open()) {
        return file.errorString();
    }
    return file.write(QByteArrayView(content.data(), static_cast<qsizetype>(content.size()))) &&
                   file.commit()
               ? QString()
               : file.errorString();
}

}  // namespace settings
