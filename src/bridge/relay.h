#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <deque>
#include <optional>
#include <string>
#include <vector>

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
// application's: they go to the keyer at once when its stream is between commands, otherwise
// right after the command under way is complete.
//
// Every write that reaches the keyer is read as the keyer reads it (keyerStreamRead). A write
// the keyer port refuses is tried again at the gathering pace; nothing is lost or reordered, and
// the operator hears of the failure once.
//
// Keyer to application: everything waiting is written to the application at once, unless the
// operator has just typed (localTyping), so the keyer's echo of typed text stays with us.
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
    // Our own bytes for the keyer. A newer one replaces one still waiting for its turn.
    void sendOwn(const std::string& bytes);

    const std::string& appChunk() const { return appChunk_; }
    bool chunkBusy() const { return chunkBusy_; }
    bool localTyping() const { return localTyping_; }
    // True while keyerStreamRead reports bytes given to sendOwn (not the application's, not
    // typed): a listener that follows the application's settings can tell them apart.
    bool readingOwnBytes() const { return readingOwn_; }
    void setLocalTyping(bool typing) { localTyping_ = typing; }

    static constexpr int kGatherIntervalMs = 10;
    static constexpr std::size_t kMostChunkBytes = 101;

  signals:
    // A chunk went to the keyer (or nowhere, with the keyer port closed) and may be shown.
    // `typed` tells the operator's own characters from the application's bytes.
    void chunkForwarded(const std::string& chunk, bool typed, bool keyerOpen);
    // What the keyer does with the bytes just written to it; `forwardedAt` is the moment of the
    // write on the monotonic clock.
    void keyerStreamRead(const std::vector<keyer::StreamEvent>& events,
                         std::chrono::nanoseconds forwardedAt);
    // Bytes from the keyer that were relayed to the application (or would have been, with its
    // port closed); the window shows them in the echo pane on request.
    void keyerBytesRelayed(const QByteArray& bytes);

  private:
    // Bytes accepted for the keyer, in the order the keyer gets them.
    struct Piece {
        std::string bytes;
        // The chunk to report once this piece is written (the last piece of a chunk).
        std::optional<std::string> chunk;
        bool typed = false;
        bool own = false;  // given to sendOwn
    };
    // Our own bytes waiting for the application's command under way to end.
    struct Own {
        std::string bytes;
        bool typed;  // typed characters all go; a newer speed command replaces a waiting one
    };
    // A typed character is reported like a chunk; our other bytes are not traffic to show.
    static Piece ownPiece(const Own& own) {
        return {own.bytes, own.typed ? std::optional(own.bytes) : std::nullopt, own.typed,
                !own.typed};
    }

    void onApplicationReadyRead();
    void onKeyerOpened();
    void gatherStep();
    void finishGathering();
    void queueOwn(Own own);
    void commitChunk(const std::string& chunk);
    void commit(Piece piece);
    void flush();

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

    keyer::StreamReader written_;   // the stream as the keyer has received it
    keyer::StreamReader accepted_;  // ... and as it will be once `unsent_` is written
    std::deque<Piece> unsent_;
    std::vector<Own> waiting_;
    QTimer retryTimer_;
    bool failing_ = false;  // the operator has been told; retries stay quiet
    bool flushing_ = false;
    bool readingOwn_ = false;
};

}  // namespace bridge
