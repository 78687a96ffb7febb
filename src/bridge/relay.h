#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <string>

#include "platform/message_boxes.h"
#include "platform/serial_port.h"

namespace bridge {

// Moves bytes between the application's port and the keyer's port, unchanged and in order.
//
// Application to keyer: bytes are gathered one every 10 ms into appChunk until the port is
// found empty or the chunk holds 101 bytes, then written to the keyer in one write and handed
// on for reading (chunkForwarded). The pacing is timer-driven: the event loop keeps running.
// A typed character goes to the keyer at once as a chunk of its own, without touching the
// application bytes being gathered.
//
// Keyer to application: everything waiting is written to the application at once, unless the
// operator has just typed (localTyping), so the keyer's echo of typed text stays with us.
class Relay : public QObject {
    Q_OBJECT

  public:
    Relay(platform::SerialPort& applicationPort, platform::SerialPort& keyerPort,
          platform::MessageBoxes& messages, QObject* parent = nullptr);

    // An empty `msg` gathers from the application port; anything else is a typed chunk,
    // forwarded at once.
    void GetDataWinkey(const std::string& msg);
    // Relays what the keyer has sent.
    void RETDataWinkey();

    const std::string& appChunk() const { return appChunk_; }
    bool chunkBusy() const { return chunkBusy_; }
    bool localTyping() const { return localTyping_; }
    void setLocalTyping(bool typing) { localTyping_ = typing; }

    static constexpr int kGatherIntervalMs = 10;
    static constexpr std::size_t kMostChunkBytes = 101;

  signals:
    // A chunk was forwarded (written to the keyer when keyerOpen) and is now to be read.
    // `typed` tells the operator's own characters from the application's bytes.
    void chunkForwarded(const std::string& chunk, bool typed, bool keyerOpen);
    // Bytes from the keyer that were relayed to the application (or would have been, with its
    // port closed); the window shows them in the echo pane on request.
    void keyerBytesRelayed(const QByteArray& bytes);

  private:
    void onApplicationReadyRead();
    void gatherStep();
    void finishGathering();
    bool forward(const std::string& chunk, bool typed);

    platform::SerialPort& application_;
    platform::SerialPort& keyer_;
    platform::MessageBoxes& messages_;
    QTimer gatherTimer_;
    bool gathering_ = false;
    // When the next byte is due: steps keep to a 10 ms grid from the first byte of a gathering,
    // so the small lateness of each timer does not add up over a long burst.
    std::chrono::steady_clock::time_point nextStep_;

    std::string appChunk_;
    bool chunkBusy_ = false;
    bool localTyping_ = false;
};

}  // namespace bridge
