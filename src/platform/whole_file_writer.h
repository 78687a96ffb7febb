#pragma once

#include <QByteArrayView>
#include <QSaveFile>
#include <QString>

#include <memory>

namespace platform {

// Writes a file whole or not at all. The new content goes to a temporary file beside the target;
// every write is checked (a full disk, an I/O error, a write that falls short), and the data is
// flushed and synced to the disk before the temporary file is renamed over the old one. Any
// failure drops the temporary file and leaves the old file exactly as it was.
//
// QSaveFile alone is not enough: Qt 6.4 flushes its buffer inside commit(), loses a write error
// there and renames the short file into place. Here the file is written unbuffered, so each
// write reaches the disk (and fails) where it is made.
class WholeFileWriter {
  public:
    explicit WholeFileWriter(const QString& path);
    // Writes through `file` instead (a test hands in one that fails on demand).
    explicit WholeFileWriter(std::unique_ptr<QSaveFile> file);
    ~WholeFileWriter();  // an uncommitted file is dropped
    WholeFileWriter(const WholeFileWriter&) = delete;
    WholeFileWriter& operator=(const WholeFileWriter&) = delete;

    bool open();
    // Writes all of `bytes`; a short write is retried for the rest.
    bool write(QByteArrayView bytes);
    // Syncs the new content and renames it into place.
    bool commit();

    // After a failure: why, and the matching QFileDevice::FileError.
    QString errorString() const { return error_; }
    int errorNumber() const { return errorNumber_; }

  private:
    bool fail(int number, const QString& error);

    std::unique_ptr<QSaveFile> file_;
    QString error_;
    int errorNumber_ = QFileDevice::NoError;
};

// Overwrites the file at `path` where it stands, for a folder that takes no new file. Nothing is
// cut off before the new content is written in full: it is written over the old bytes, the file
// is shortened to it, and the result is synced. A failure puts the old bytes back (they lie in
// space the file already had) and is returned; an empty string means the file was written.
QString overwriteInPlace(const QString& path, QByteArrayView bytes);

}  // namespace platform
