#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QScrollBar>

#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

#include "shell/main_window.h"
#include "support/fake_serial_port.h"
#include "support/recording_message_boxes.h"
#include "support/small_disk.h"
#include "support/working_folder.h"

// The settings file saved when the main window closes, on disks and in folders that resist.
namespace {

const QByteArray kOldFile = " 16\r\n17\r\n-1000 \r\n 40 \r\n3\r\n 0 \r\n 7000 \r\n";
const QByteArray kNewFile = " 16\r\n17\r\n-1000 \r\n 41 \r\n3\r\n 0 \r\n 7000 \r\n";

// Files are reached as an ordinary user: root writes into any folder.
class AsOrdinaryUser {
  public:
    AsOrdinaryUser() {
        if (geteuid() == 0) {
            setfsuid(65534);
        }
    }
    ~AsOrdinaryUser() {
        if (geteuid() == 0) {
            setfsuid(0);
        }
    }
};

class SettingsFileTest : public testing::Test {
  protected:
    // Opens the main window on the working directory's settings file, moves the speed from 40
    // to 41, and closes it: the messages it showed.
    QStringList closeAfterAChange(bool asOrdinaryUser = false) {
        auto window = std::make_unique<shell::MainWindow>(
            shell::MainWindowParts{applicationPort, keyerPort, messages});
        auto* speed = window->findChild<QScrollBar*>(QStringLiteral("VScroll2"));
        EXPECT_EQ(speed->value(), 40);
        speed->setValue(41);
        {
            std::unique_ptr<AsOrdinaryUser> user;
            if (asOrdinaryUser) {
                user = std::make_unique<AsOrdinaryUser>();
            }
            EXPECT_TRUE(window->close());
        }
        return messages.texts();
    }

    FakeSerialPort applicationPort;
    FakeSerialPort keyerPort;
    RecordingMessageBoxes messages;
};

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

TEST_F(SettingsFileTest, OnAFullDiskTheOldFileStaysByteForByteAndTheOperatorIsTold) {
    SmallDisk disk;
    if (!disk.refusal().empty()) {
        GTEST_SKIP() << "no full disk to test on: " << disk.refusal();
    }
    writeFile(disk.filePath(QStringLiteral("VanTrel.ini")), kOldFile);
    disk.fill();
    const QStringList shown = closeAfterAChange();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0], "The settings could not be saved in " +
                            disk.filePath(QStringLiteral("VanTrel.ini")) +
                            ": No space left on device");
    EXPECT_EQ(disk.read(QStringLiteral("VanTrel.ini")), kOldFile);
    EXPECT_EQ(disk.files(), QStringList{"VanTrel.ini"});
}

TEST_F(SettingsFileTest, AReadOnlyFolderGetsItsWritableFileOverwrittenInPlace) {
    const struct {
        mode_t fileMode;
        bool saved;
    } cases[] = {{0666, true}, {0444, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fileMode);
        WorkingFolder folder;
        const QString path = folder.filePath(QStringLiteral("VanTrel.ini"));
        writeFile(path, kOldFile);
        ::chmod(path.toLocal8Bit().constData(), c.fileMode);
        ::chmod(folder.path().toLocal8Bit().constData(), 0555);
        messages.shown.clear();
        const QStringList shown = closeAfterAChange(true);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), c.saved ? kNewFile : kOldFile);
        EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList{"VanTrel.ini"});
        if (c.saved) {
            EXPECT_TRUE(shown.isEmpty());
        } else {
            ASSERT_EQ(shown.size(), 1);
            EXPECT_TRUE(shown[0].startsWith("The settings could not be saved in "));
        }
        ::chmod(folder.path().toLocal8Bit().constData(), 0755);
    }
}

}  // namespace
