#include "platform/whole_file_writer.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace platform {
namespace {

// Writes all of `bytes` at the device's position, retrying the rest after a short write; empty
// on success, otherwise why not.
QString writeAll(QIODevice& device, QByteArrayView bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const qint64 written = device.write(bytes.data() + done, bytes.size() - done);
        if (written < 0) {
            return device.errorString();
        }
        if (written == 0) {
            return QStringLiteral("Only %1 of %2 bytes could be written.")
                .arg(done)
                .arg(bytes.size());
        }
        done += static_cast<qsizetype>(written);
    }
    return {};
}

// Hands what was written to the disk: a deferred write error (a full disk on some file
// systems, an I/O error) shows here or nowhere.
QString syncToDisk(QFileDevice& file) {
    if (!file.flush()) {
        return file.errorString();
    }
#ifdef Q_OS_WIN
    const int result = ::_commit(file.handle());
#else
    const int result = ::fsync(file.handle());
#endif
    if (result != 0) {
        return QString::fromLocal8Bit(std::strerror(errno));
    }
    return {};
}

}  // namespace

WholeFileWriter::WholeFileWriter(const QString& path)
    : WholeFileWriter(std::make_unique<QSaveFile>(path)) {}

WholeFileWriter::WholeFileWriter(std::unique_ptr<QSaveFile> file) : file_(std::move(file)) {}

WholeFileWriter::~WholeFileWriter() = default;  // QSaveFile removes an uncommitted temporary

bool WholeFileWriter::fail(int number, const QString& error) {
    errorNumber_ = number;
    error_ = error;
    file_->cancelWriting();
    return false;
}

bool WholeFileWriter::open() {
    if (!file_->open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return fail(file_->error(), file_->errorString());
    }
    return true;
}

bool WholeFileWriter::write(QByteArrayView bytes) {
    if (!error_.isEmpty()) {
        return false;
    }
    if (const QString error = writeAll(*file_, bytes); !error.isEmpty()) {
        return fail(QFileDevice::WriteError, error);
    }
    return true;
}

bool WholeFileWriter::commit() {
    if (!error_.isEmpty()) {
        return false;
    }
    if (const QString error = syncToDisk(*file_); !error.isEmpty()) {
        return fail(QFileDevice::WriteError, error);
    }
    if (!file_->commit()) {
        errorNumber_ =
            file_->error() != QFileDevice::NoError ? file_->error() : QFileDevice::WriteError;
        error_ = file_->errorString();
        return false;
    }
    return true;
}

QString overwriteInPlace(const QString& path, QByteArrayView bytes) {
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
        return file.errorString();
    }
    const qint64 oldSize = file.size();
    const QByteArray oldStart = file.read(qMin(oldSize, static_cast<qint64>(bytes.size())));
    if (oldStart.size() != qMin(oldSize, static_cast<qint64>(bytes.size()))) {
        return file.errorString();
    }
    QString error = file.seek(0) ? writeAll(file, bytes) : file.errorString();
    if (error.isEmpty() && oldSize > bytes.size() && !file.resize(bytes.size())) {
        error = file.errorString();
    }
    if (error.isEmpty()) {
        error = syncToDisk(file);
    }
    if (error.isEmpty()) {
        return {};
    }
    const bool restored = file.seek(0) && writeAll(file, oldStart).isEmpty() &&
                          file.resize(oldSize) && syncToDisk(file).isEmpty();
    return restored ? error : error + QStringLiteral(" The old file could not be restored.");
}

}  // namespace platform
