#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <optional>
#include <string_view>

namespace platform {

// Line settings as the operator's tools write them: "19200,N,8,1".
struct LineSettings {
    int baudRate = 0;
    char parity = 'N';  // N, E, O, M or S
    int dataBits = 8;
    int stopBits = 1;
};

// Parses "baud,parity,data,stop"; nullopt when any field is malformed.
std::optional<LineSettings> parseLineSettings(std::string_view text);

// One side of the bridge: a serial port named by its number. Bytes pass unchanged, all 256
// values. The port never changes on its own except by dying (failed), after which it is closed.
class SerialPort : public QObject {
    Q_OBJECT

  public:
    using QObject::QObject;

    // Opens port `number` with `settings` and no flow control; false with errorString() set.
    virtual bool open(int number, const LineSettings& settings) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    virtual qint64 bytesWaiting() const = 0;
    // Removes and returns up to maxBytes waiting bytes (fewer or none when fewer wait).
    virtual QByteArray read(qint64 maxBytes) = 0;
    // Queues bytes for sending; false with errorString() set when the port refuses them.
    virtual bool write(const QByteArray& bytes) = 0;
    virtual QString errorString() const = 0;
    // The device the last open() tried (a path, or COMn on Windows); empty when it tried none.
    virtual QString deviceName() const { return {}; }

  signals:
    // The port was opened: a new connection begins.
    void opened();
    // New bytes are waiting.
    void readyRead();
    // The open port stopped working (an adapter pulled, the far end of a pair gone). The port
    // is already closed when this arrives, and it arrives once per failure.
    void failed(const QString& description);
};

}  // namespace platform
