#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

#include "platform/whole_file_writer.h"
#include "support/small_disk.h"

namespace {

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// A save file whose writes go wrong the way a disk can make them.
class FaultySaveFile : public QSaveFile {
  public:
    enum class Fault { IoError, Stall, ThreeBytesAtATime };
    FaultySaveFile(const QString& path, Fault fault) : QSaveFile(path), fault_(fault) {}

  protected:
    qint64 writeData(const char* data, qint64 len) override {
        switch (fault_) {
            case Fault::IoError:
                setErrorString(QStringLiteral("Input/output error"));
                return -1;
            case Fault::Stall:  // takes 3 bytes, then no more, without an error
                if (taken_ >= 3) {
                    return 0;
                }
                taken_ += qMin<qint64>(len, 3);
                return QSaveFile::writeData(data, qMin<qint64>(len, 3));
            case Fault::ThreeBytesAtATime:
                return QSaveFile::writeData(data, qMin<qint64>(len, 3));
        }
        return -1;
    }

  private:
    Fault fault_;
    qint64 taken_ = 0;
};

TEST(WholeFileWriter, AFailingWriteLeavesTheOldFileAsItWas) {
    using Fault = FaultySaveFile::Fault;
    const QByteArray old = "old content\r\n";
    const QByteArray fresh = "the new content, longer than the old one\r\n";
    const struct {
        Fault fault;
        QString error;  // empty: the new content is in place
    } cases[] = {
        {Fault::IoError, "Input/output error"},
        {Fault::Stall, QStringLiteral("Only 3 of %1 bytes could be written.").arg(fresh.size())},
        {Fault::ThreeBytesAtATime, ""},  // short writes that go on: the rest is retried
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.fault));
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("VanTrel.ini"));
        writeFile(path, old);
        {
            platform::WholeFileWriter writer(std::make_unique<FaultySaveFile>(path, c.fault));
            ASSERT_TRUE(writer.open());
            const bool written = writer.write(fresh) && writer.commit();
            EXPECT_EQ(written, c.error.isEmpty());
            EXPECT_EQ(writer.errorString(), c.error);
        }
        EXPECT_EQ(readFile(path), c.error.isEmpty() ? fresh : old);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"VanTrel.ini"});
    }
}

TEST(WholeFileWriter, OverwriteInPlaceOnAFullDiskPutsTheOldBytesBack) {
    SmallDisk disk;
    if (!disk.refusal().empty()) {
        GTEST_SKIP() << "no full disk to test on: " << disk.refusal();
    }
    // Exactly one page: growing the file needs space the full disk does not have.
    const QByteArray old(4096, 'o');
    const QString path = disk.filePath(QStringLiteral("VanTrel.ini"));
    writeFile(path, old);
    disk.fill();

    EXPECT_EQ(platform::overwriteInPlace(path, QByteArray(6000, 'n')), "No space left on device");
    EXPECT_EQ(disk.read(QStringLiteral("VanTrel.ini")), old);

    // A shorter content needs no new space: it is written, and the file ends with it.
    EXPECT_EQ(platform::overwriteInPlace(path, "1\r\n2\r\n"), "");
    EXPECT_EQ(disk.read(QStringLiteral("VanTrel.ini")), "1\r\n2\r\n");
}

}  // namespace
