#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

// A real, tiny file system (a 64 KiB tmpfs) that is the working directory for as long as the
// object lives, so the program can meet a full disk. Mounting needs root; where it is refused,
// `refusal()` says why and the test skips.
class SmallDisk {
  public:
    SmallDisk() {
        char name[] = "/tmp/vantrel-disk-XXXXXX";
        if (::mkdtemp(name) == nullptr) {
            refusal_ = std::string("cannot make a mount point: ") + std::strerror(errno);
            return;
        }
        path_ = QString::fromLocal8Bit(name);
        if (::mount("tmpfs", name, "tmpfs", 0, "size=64k,mode=0755") != 0) {
            refusal_ = std::string("cannot mount a tmpfs (needs root): ") + std::strerror(errno);
            return;
        }
        mounted_ = true;
        QDir::setCurrent(path_);  // after mounting: the working directory is on the new disk
    }
    ~SmallDisk() {
        QDir::setCurrent(previous_);
        if (mounted_) {
            ::umount2(path_.toLocal8Bit().constData(), MNT_DETACH);
        }
        if (!path_.isEmpty()) {
            ::rmdir(path_.toLocal8Bit().constData());
        }
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    const std::string& refusal() const { return refusal_; }
    QString filePath(const QString& name) const { return QDir(path_).filePath(name); }
    QString path() const { return path_; }

    // Takes every free byte with a file of its own.
    void fill() const {
        const int fd = ::open(filePath(QStringLiteral("filler")).toLocal8Bit().constData(),
                              O_WRONLY | O_CREAT | O_APPEND, 0644);
        const char block[4096] = {};
        for (std::size_t size = sizeof block; size > 0; size /= 2) {
            while (::write(fd, block, size) == static_cast<ssize_t>(size)) {
            }
        }
        ::close(fd);
    }

    // The disk's files other than the filler, with their bytes.
    QByteArray read(const QString& name) const {
        QFile file(filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    QStringList files() const {
        QStringList names = QDir(path_).entryList(QDir::Files | QDir::Hidden);
        names.removeAll(QStringLiteral("filler"));
        return names;
    }

  private:
    QString previous_ = QDir::currentPath();
    QString path_;
    std::string refusal_;
    bool mounted_ = false;
};
