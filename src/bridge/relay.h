#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <deque>
#include <string>
#include <vector>

#include "bridge/own_bytes_queue.h"
#include "bridge/typed_echoes.h"
#include "keyer/stream_event.h"
#include "keyer/stream_reader.h"
#include "platform/message_boxes.h"
#include "platform/serial_port.h"

namespace bridge {

// Moves bytes between the application's port and the keyer's port, unchanged and in order.
//
// Application to keyer: bytes are gathered one every 10 ms into appChunk until the port is
// found empty or the chunk holds 101 bytes, then written to the keyer in one write. The pacing
// is timer-driven: the event loop keeps running.
//
// Our own bytes (a typed character, the operator's speed command) never split a command of the
// application's (OwnBytesQueue says where they go); the relay only writes the pieces.
//
// Nothing the application sent is lost: a piece the keyer port refuses is tried again at the
// gathering pace (the operator hears of the failure once), and pieces for a keyer port that is
// closed wait for the next one that opens, where they go first. While pieces wait, at most
// kMostHeldBytes of them, gathering pauses and the rest stays at the application port.
// Typed characters and our own commands are for the keyer that is there: with its port
// closed they go nowhere.
//
// Keyer to application: everything waiting is written to the application at once, except the
// keyer's echoes of typed characters (TypedEchoes), which the logger never sent.
class Relay : public QObject {
    Q_OBJECT

  public:
    Relay(platform::SerialPort& applicationPort, platform::SerialPort& keyerPort,
          platform::MessageBoxes& messages, QObject* parent = nullptr);

    // An empty `msg` gathers from the application port; anything else is a typed chunk for
    // the keyer.
    void GetDataWinkey(const std::string& msg);
    // Relays what the keyer has sent.
    void RETDataWinkey();
    // A command of the operator's own for the keyer. A newer one replaces one still waiting.
    void sendOwn(const std::string& bytes);
    // Takes everything the application port holds at once, the chunk under way included, and
    // passes it on (or keeps it for the keyer): the port is about to close.
    void takeAllWaiting();

    const std::string& appChunk() const { return appChunk_; }
    bool chunkBusy() const { return chunkBusy_; }
    // Bytes accepted for the keyer and not written yet.
    std::size_t heldBytes() const;

    static constexpr int kGatherIntervalMs = 10;
    static constexpr std::size_t kMostChunkBytes = 101;
    static constexpr std::size_t kMostHeldBytes = 4096;

  signals:
    // A chunk of the application's was gathered; the window may show it.
    void chunkGathered(const std::string& chunk);
    // What the keyer does with the bytes just written to it, whose they were, and the moment
    // of the write on the monotonic clock.
    void keyerStreamRead(const std::vector<keyer::StreamEvent>& events,
                         std::chrono::nanoseconds forwardedAt, bridge::Origin origin);
    // Bytes from the keyer that were relayed to the application (or would have been, with its
    // port closed); the window shows them in the echo pane on request.
    void keyerBytesRelayed(const QByteArray& bytes);

  private:
    void onApplicationReadyRead();
    void onKeyerOpened();
    void gatherStep();
    void finishGathering();
    void commit(std::vector<Piece> pieces);
    void flush();
    bool holdingEnough() const { return heldBytes() >= kMostHeldBytes; }

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

    keyer::StreamReader written_;  // the stream as the keyer has received it
    OwnBytesQueue placing_;        // ... and as it will be once `unsent_` is written
    TypedEchoes echoes_;
    std::deque<Piece> unsent_;
    QTimer retryTimer_;
    bool failing_ = false;  // the operator has been told; retries stay quiet
    bool flushing_ = false;
};

}  // namespace bridge
