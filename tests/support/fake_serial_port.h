#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

#include "platform/serial_port.h"

// A serial port in memory: records each write, hands out bytes the test delivers, and can be
// made to refuse opening or writing.
class FakeSerialPort final : public platform::SerialPort {
  public:
    bool open(int number, const platform::LineSettings& settings) override {
        if (refuseOpen) {
            error_ = QStringLiteral("The device does not exist");
            return false;
        }
        openedNumber = number;
        openedSettings = settings;
        open_ = true;
        emit opened();
        return true;
    }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    qint64 bytesWaiting() const override { return incoming.size(); }
    QByteArray read(qint64 maxBytes) override {
        QByteArray out = incoming.left(maxBytes);
        incoming.remove(0, out.size());
        return out;
    }
    bool write(const QByteArray& bytes) override {
        if (!open_ || refuseWrite) {
            refusedWrites += open_ ? 1 : 0;
            error_ = QStringLiteral("Write failed");
            return false;
        }
        writes.push_back(bytes);
        return true;
    }
    QString errorString() const override { return error_; }
    QString deviceName() const override { return device; }

    // The far end sends bytes.
    void deliver(const QByteArray& bytes) {
        incoming += bytes;
        emit readyRead();
    }
    QByteArray written() const {
        QByteArray all;
        for (const auto& w : writes) {
            all += w;
        }
        return all;
    }

    bool refuseOpen = false;
    bool refuseWrite = false;
    int refusedWrites = 0;
    QString device;  // what deviceName() reports as tried
    int openedNumber = -1;
    platform::LineSettings openedSettings;
    QByteArray incoming;
    std::vector<QByteArray> writes;

  private:
    bool open_ = false;
    QString error_;
};
