#pragma once

#include <QSerialPort>

#include <functional>

#include "platform/serial_port.h"

namespace platform {

// SerialPort over QSerialPort. `deviceForPort` maps a port number to the device path.
//
// A port that fails while open (ReadError, WriteError, ResourceError: an adapter pulled, the
// other end of a pair gone) is closed at once, so it neither loops on errors nor looks alive;
// whatever it had read by then is kept and still handed out by read().
class QtSerialPort final : public SerialPort {
    Q_OBJECT

  public:
    explicit QtSerialPort(std::function<QString(int)> deviceForPort, QObject* parent = nullptr);

    bool open(int number, const LineSettings& settings) override;
    void close() override;
    bool isOpen() const override { return port_.isOpen(); }
    qint64 bytesWaiting() const override;
    QByteArray read(qint64 maxBytes) override;
    bool write(const QByteArray& bytes) override;
    QString errorString() const override { return error_; }
    QString deviceName() const override { return device_; }

  private:
    void onError(QSerialPort::SerialPortError error);

    std::function<QString(int)> deviceForPort_;
    QSerialPort port_;
    QByteArray leftover_;  // read before the port failed, not yet handed out
    QString error_;
    QString device_;
};

}  // namespace platform
