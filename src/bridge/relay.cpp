#include "bridge/relay.h"

#include <algorithm>

namespace bridge {

Relay::Relay(platform::SerialPort& applicationPort, platform::SerialPort& keyerPort,
             platform::MessageBoxes& messages, QObject* parent)
    : QObject(parent), application_(applicationPort), keyer_(keyerPort), messages_(messages) {
    gatherTimer_.setSingleShot(true);
    gatherTimer_.setTimerType(Qt::PreciseTimer);
    connect(&gatherTimer_, &QTimer::timeout, this, &Relay::gatherStep);
    retryTimer_.setSingleShot(true);
    retryTimer_.setTimerType(Qt::PreciseTimer);
    connect(&retryTimer_, &QTimer::timeout, this, &Relay::flush);

    connect(&application_, &platform::SerialPort::readyRead, this, &Relay::onApplicationReadyRead);
    connect(&keyer_, &platform::SerialPort::readyRead, this, &Relay::RETDataWinkey);
    connect(&keyer_, &platform::SerialPort::opened, this, &Relay::onKeyerOpened);
    // A port that dies may still hold bytes it had read: they are relayed, not lost.
    connect(&application_, &platform::SerialPort::failed, this, &Relay::takeAllWaiting);
    connect(&keyer_, &platform::SerialPort::failed, this, &Relay::RETDataWinkey);
}

void Relay::onApplicationReadyRead() {
    GetDataWinkey({});
}

// A new connection: the keyer reads from a fresh start, beginning with what waited for it. It
// is written once the event loop turns, so a Connect that fails on the other side and closes
// this port again leaves it waiting.
void Relay::onKeyerOpened() {
    std::string pending;
    for (const Piece& piece : unsent_) {
        pending += piece.bytes;
    }
    written_ = {};
    placing_.restart(pending);
    echoes_.restart();
    failing_ = false;
    if (!unsent_.empty()) {
        retryTimer_.start(0);
    }
}

std::size_t Relay::heldBytes() const {
    std::size_t held = 0;
    for (const Piece& piece : unsent_) {
        held += piece.bytes.size();
    }
    return held;
}

void Relay::GetDataWinkey(const std::string& msg) {
    if (!msg.empty()) {
        if (keyer_.isOpen()) {
            commit(placing_.own(msg, Origin::Typed));
        }
        return;
    }
    // A gathering under way picks up the new bytes at its next step.
    if (!gathering_ && !holdingEnough()) {
        gathering_ = true;
        nextStep_ = std::chrono::steady_clock::now();
        gatherStep();
    }
}

void Relay::sendOwn(const std::string& bytes) {
    if (keyer_.isOpen()) {
        commit(placing_.own(bytes, Origin::Command));
    }
}

void Relay::gatherStep() {
    if (application_.bytesWaiting() == 0 || chunkBusy_) {
        finishGathering();
        return;
    }
    appChunk_ += application_.read(1).toStdString();
    if (appChunk_.size() >= kMostChunkBytes) {
        finishGathering();
        return;
    }
    // Wait at least until the next step is due, never less.
    nextStep_ += std::chrono::milliseconds(kGatherIntervalMs);
    const auto wait =
        std::chrono::ceil<std::chrono::milliseconds>(nextStep_ - std::chrono::steady_clock::now());
    gatherTimer_.start(std::max(wait, std::chrono::milliseconds(0)));
}

void Relay::finishGathering() {
    gatherTimer_.stop();
    gathering_ = false;
    const std::string chunk = std::move(appChunk_);
    appChunk_.clear();
    if (!chunk.empty()) {
        emit chunkGathered(chunk);
        commit(placing_.chunk(chunk));
    }
    // What a full chunk left behind is gathered as the next chunk.
    if (application_.bytesWaiting() > 0) {
        GetDataWinkey({});
    }
}

void Relay::takeAllWaiting() {
    gatherTimer_.stop();
    gathering_ = false;
    while (!appChunk_.empty() || application_.bytesWaiting() > 0) {
        const auto room = static_cast<qint64>(kMostChunkBytes - appChunk_.size());
        appChunk_ += application_.read(room).toStdString();
        std::string chunk = std::move(appChunk_);
        appChunk_.clear();
        emit chunkGathered(chunk);
        for (Piece& piece : placing_.chunk(chunk)) {
            unsent_.push_back(std::move(piece));
        }
    }
    flush();
}

void Relay::commit(std::vector<Piece> pieces) {
    for (Piece& piece : pieces) {
        unsent_.push_back(std::move(piece));
    }
    flush();
}

// Writes what is accepted, in order. A refused write stops here and is tried again at the next
// gathering step; the operator is told once per failure. With the keyer port closed the pieces
// wait for the next one.
void Relay::flush() {
    if (flushing_ || retryTimer_.isActive()) {
        return;
    }
    flushing_ = true;
    while (!unsent_.empty() && keyer_.isOpen()) {
        chunkBusy_ = true;
        if (!keyer_.write(QByteArray::fromStdString(unsent_.front().bytes))) {
            chunkBusy_ = false;
            // A port that died on this write has already told the operator.
            if (!failing_ && keyer_.isOpen()) {
                failing_ = true;
                messages_.inform(keyer_.errorString());
            }
            retryTimer_.start(kGatherIntervalMs);
            break;
        }
        const auto forwardedAt = std::chrono::steady_clock::now().time_since_epoch();
        failing_ = false;
        const Piece piece = std::move(unsent_.front());
        unsent_.pop_front();
        const std::vector<keyer::StreamEvent> events = written_.read(piece.bytes);
        echoes_.given(events, piece.origin == Origin::Typed);
        emit keyerStreamRead(events, forwardedAt, piece.origin);
        chunkBusy_ = false;
    }
    flushing_ = false;
    // Gathering paused while too much waited: it goes on once the keyer took it.
    if (!gathering_ && !holdingEnough() && application_.bytesWaiting() > 0) {
        GetDataWinkey({});
    }
}

void Relay::RETDataWinkey() {
    const QByteArray bytes = keyer_.read(keyer_.bytesWaiting());
    if (bytes.isEmpty()) {
        return;
    }
    const QByteArray relayed = QByteArray::fromStdString(
        echoes_.forLogger(std::string_view(bytes.constData(), bytes.size())));
    if (relayed.isEmpty()) {
        return;
    }
    if (application_.isOpen() && !application_.write(relayed)) {
        if (application_.isOpen()) {
            messages_.inform(application_.errorString());
        }
        return;
    }
    emit keyerBytesRelayed(relayed);
}

}  // namespace bridge
