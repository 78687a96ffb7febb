#include "platform/qt_serial_port.h"

#include <charconv>

namespace platform {

std::optional<LineSettings> parseLineSettings(std::string_view text) {
    LineSettings settings;
    std::string_view fields[4];
    for (int i = 0; i < 4; ++i) {
        const auto comma = text.find(',');
        if ((comma == std::string_view::npos) != (i == 3)) {
            return std::nullopt;
        }
        fields[i] = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    }
    const auto number = [](std::string_view field, int& out) {
        const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), out);
        return ec == std::errc() && end == field.data() + field.size();
    };
    if (!number(fields[0], settings.baudRate) || settings.baudRate <= 0 || fields[1].size() != 1 ||
        !number(fields[2], settings.dataBits) || !number(fields[3], settings.stopBits)) {
        return std::nullopt;
    }
    settings.parity = static_cast<char>(std::toupper(static_cast<unsigned char>(fields[1][0])));
    if (std::string_view("NEOMS").find(settings.parity) == std::string_view::npos ||
        settings.dataBits < 5 || settings.dataBits > 8 || settings.stopBits < 1 ||
        settings.stopBits > 2) {
        return std::nullopt;
    }
    return settings;
}

QtSerialPort::QtSerialPort(std::function<QString(int)> deviceForPort, QObject* parent)
    : SerialPort(parent), deviceForPort_(std::move(deviceForPort)) {
    connect(&port_, &QSerialPort::readyRead, this, &SerialPort::readyRead);
    connect(&port_, &QSerialPort::errorOccurred, this, &QtSerialPort::onError);
}

bool QtSerialPort::open(int number, const LineSettings& settings) {
    close();
    leftover_.clear();
    device_.clear();
    if (number < 1) {
        error_ = QStringLiteral("Invalid port number");
        return false;
    }
    device_ = deviceForPort_(number);
    port_.setPortName(device_);
    static const std::pair<char, QSerialPort::Parity> kParities[] = {
        {'N', QSerialPort::NoParity},
        {'E', QSerialPort::EvenParity},
        {'O', QSerialPort::OddParity},
        {'M', QSerialPort::MarkParity},
        {'S', QSerialPort::SpaceParity}};
    QSerialPort::Parity parity = QSerialPort::NoParity;
    for (const auto& [letter, value] : kParities) {
        if (letter == settings.parity) {
            parity = value;
        }
    }
    // The receive buffer is left unbounded: nothing the application sends may be dropped.
    if (!port_.open(QIODevice::ReadWrite)) {
        error_ = port_.errorString();
        return false;
    }
    const bool configured =
        port_.setBaudRate(settings.baudRate) &&
        port_.setDataBits(static_cast<QSerialPort::DataBits>(settings.dataBits)) &&
        port_.setParity(parity) &&
        port_.setStopBits(settings.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop) &&
        port_.setFlowControl(QSerialPort::NoFlowControl);
    if (!configured) {
        error_ = port_.errorString();
        port_.close();
        return false;
    }
    emit opened();
    return true;
}

void QtSerialPort::close() {
    if (port_.isOpen()) {
        // Bytes accepted by write() are still in Qt's buffer until the event loop turns:
        // hand them to the device first, or closing drops them.
        port_.flush();
        port_.close();
    }
}

qint64 QtSerialPort::bytesWaiting() const {
    return leftover_.size() + (port_.isOpen() ? port_.bytesAvailable() : 0);
}

QByteArray QtSerialPort::read(qint64 maxBytes) {
    QByteArray bytes = leftover_.left(maxBytes);
    leftover_.remove(0, bytes.size());
    if (bytes.size() < maxBytes && port_.isOpen()) {
        bytes += port_.read(maxBytes - bytes.size());
    }
    return bytes;
}

bool QtSerialPort::write(const QByteArray& bytes) {
    if (!port_.isOpen()) {
        error_ = QStringLiteral("Port is not open");
        return false;
    }
    if (port_.write(bytes) != bytes.size()) {
        if (port_.isOpen()) {
            error_ = port_.errorString();
        }
        return false;
    }
    return true;
}

void QtSerialPort::onError(QSerialPort::SerialPortError error) {
    if (error != QSerialPort::ReadError && error != QSerialPort::WriteError &&
        error != QSerialPort::ResourceError) {
        return;
    }
    if (!port_.isOpen()) {
        return;
    }
    error_ = port_.errorString();
    leftover_ += port_.readAll();
    port_.close();
    port_.clearError();
    emit failed(error_);
}

}  // namespace platform
