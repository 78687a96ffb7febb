#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <string>

#include "bridge/connection.h"
#include "bridge/relay.h"
#include "platform/audio_output.h"
#include "platform/message_boxes.h"
#include "platform/serial_port.h"
#include "tone/monitor_player.h"

namespace bridge {

// One run of the bridge, without widgets: the connection, the relay and the monitor, wired to
// each other. The relay feeds the monitor directly; the main window shows the session's state
// and hands it the operator's actions.
class Session : public QObject {
    Q_OBJECT

  public:
    // `audio` is the sound output; the system's when none is given.
    Session(platform::SerialPort& applicationPort, platform::SerialPort& keyerPort,
            platform::MessageBoxes& messages,
            std::unique_ptr<platform::AudioOutput> audio = nullptr, QObject* parent = nullptr);
    ~Session() override;

    // Connect or Disconnect, with the port fields exactly as typed; returns the button's new
    // caption.
    QString click(const QString& applicationField, const QString& keyerField);
    QString caption() const { return connection_->caption(); }
    bool applicationLit() const { return applicationLit_; }
    bool keyerLit() const { return keyerLit_; }
    // The program ends: what the logger's port holds is passed on, then both ports close.
    void closePorts() { connection_->closeAll(); }

    // A speed the operator set (bar or field), within the speed range: to the keyer between
    // the logger's commands; with the keyer's port closed, to the monitor only.
    void setOperatorSpeed(int wpm);
    // A key typed in the typing pane, as the byte it sends.
    void type(char byte);
    // Test: TEST sounds after the latency. When the sidetone cannot be heard (no output, or
    // one that did not open) the operator is told why, once for each new reason.
    void test();

    void setLatencyText(const std::string& text);
    void setVolume(int hundredthsOfDb) { monitor_->setVolume(hundredthsOfDb); }
    void SetSound(int soundDeviceIndex, int pitch) { monitor_->SetSound(soundDeviceIndex, pitch); }
    QStringList deviceDescriptions() const { return monitor_->deviceDescriptions(); }
    // The text the monitor has still to sound.
    std::string monitorQueue() const { return monitor_->pendingText(); }

    const Relay& relay() const { return *relay_; }
    const tone::MonitorPlayer& monitor() const { return *monitor_; }
    tone::MonitorPlayer& monitor() { return *monitor_; }

  signals:
    // A light went on or out.
    void lightsChanged();
    // The logger set a speed within the speed range: the bar shows it (the keyer has it).
    void speedFollowed(int wpm);
    // A chunk of the logger's, for the transmit pane.
    void loggerChunk(const std::string& chunk);
    // What the keyer sent and the logger got, for the echo pane.
    void keyerBytesRelayed(const QByteArray& bytes);

  private:
    void onKeyerStreamRead(const std::vector<keyer::StreamEvent>& events,
                           std::chrono::nanoseconds forwardedAt, Origin origin);

    platform::SerialPort& keyerPort_;
    platform::MessageBoxes& messages_;
    QString applicationField_;
    QString keyerField_;
    bool applicationLit_ = false;
    bool keyerLit_ = false;
    QString soundProblemSaid_;

    tone::MonitorPlayer* monitor_ = nullptr;
    Relay* relay_ = nullptr;
    Connection* connection_ = nullptr;
};

}  // namespace bridge
