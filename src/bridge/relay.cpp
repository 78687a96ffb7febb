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
    connect(&application_, &platform::SerialPort::failed, this, [this] { GetDataWinkey({}); });
    connect(&keyer_, &platform::SerialPort::failed, this, &Relay::RETDataWinkey);
}

void Relay::onApplicationReadyRead() {
    localTyping_ = false;
    GetDataWinkey({});
}

// A new connection: the keyer reads from a fresh start, and nothing of the old one is pending.
void Relay::onKeyerOpened() {
    written_ = {};
    accepted_ = {};
    unsent_.clear();
    waiting_.clear();
    retryTimer_.stop();
    failing_ = false;
}

void Relay::GetDataWinkey(const std::string& msg) {
    if (!msg.empty()) {
        queueOwn({msg, /*typed=*/true});
        return;
    }
    // A gathering under way picks up the new bytes at its next step.
    if (!gathering_) {
        gathering_ = true;
        nextStep_ = std::chrono::steady_clock::now();
        gatherStep();
    }
}

void Relay::sendOwn(const std::string& bytes) {
    if (!bytes.empty()) {
        queueOwn({bytes, /*typed=*/false});
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
    gathering_ = false;
    const std::string chunk = std::move(appChunk_);
    appChunk_.clear();
    commitChunk(chunk);
    // What a full chunk left behind is gathered as the next chunk.
    if (application_.bytesWaiting() > 0) {
        GetDataWinkey({});
    }
}

void Relay::queueOwn(Own own) {
    if (!keyer_.isOpen()) {
        if (own.typed) {
            emit chunkForwarded(own.bytes, true, false);
        }
        return;
    }
    if (accepted_.atBoundary()) {
        commit(ownPiece(own));
        flush();
        return;
    }
    if (!own.typed) {
        const auto older =
            std::find_if(waiting_.begin(), waiting_.end(), [](const Own& o) { return !o.typed; });
        if (older != waiting_.end()) {
            *older = std::move(own);
            return;
        }
    }
    waiting_.push_back(std::move(own));
}

// An application chunk for the keyer. Our own bytes that wait go in where the command under way
// ends: the chunk is then written in two parts with them in between.
void Relay::commitChunk(const std::string& chunk) {
    if (chunk.empty()) {
        return;
    }
    if (!keyer_.isOpen()) {
        emit chunkForwarded(chunk, /*typed=*/false, false);
        return;
    }
    std::size_t cut = chunk.size();
    if (!waiting_.empty()) {
        keyer::StreamReader ahead = accepted_;
        for (std::size_t i = 0; i < chunk.size(); ++i) {
            ahead.read(std::string_view(chunk).substr(i, 1));
            if (ahead.atBoundary()) {
                cut = i + 1;
                break;
            }
        }
    }
    const bool whole = cut == chunk.size();
    commit({chunk.substr(0, cut), whole ? std::optional(chunk) : std::nullopt, false});
    if (accepted_.atBoundary()) {
        for (const Own& own : waiting_) {
            commit(ownPiece(own));
        }
        waiting_.clear();
    }
    if (!whole) {
        commit({chunk.substr(cut), chunk, false});
    }
    flush();
}

void Relay::commit(Piece piece) {
    accepted_.read(piece.bytes);
    unsent_.push_back(std::move(piece));
}

// Writes what is accepted, in order. A refused write stops here and is tried again at the next
// gathering step; the operator is told once per failure.
void Relay::flush() {
    if (flushing_ || retryTimer_.isActive()) {
        return;
    }
    flushing_ = true;
    while (!unsent_.empty()) {
        if (!keyer_.isOpen()) {
            // Closed under us: nothing goes anywhere, as if the port had been closed before.
            const std::deque<Piece> dropped = std::move(unsent_);
            unsent_.clear();
            accepted_ = written_;
            for (const Piece& piece : dropped) {
                if (piece.chunk) {
                    emit chunkForwarded(*piece.chunk, piece.typed, false);
                }
            }
            break;
        }
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
        readingOwn_ = piece.own;
        emit keyerStreamRead(written_.read(piece.bytes), forwardedAt);
        readingOwn_ = false;
        if (piece.chunk) {
            emit chunkForwarded(*piece.chunk, piece.typed, true);
        }
        chunkBusy_ = false;
    }
    flushing_ = false;
}

void Relay::RETDataWinkey() {
    const QByteArray bytes = keyer_.read(keyer_.bytesWaiting());
    if (bytes.isEmpty() || localTyping_) {
        return;
    }
    if (application_.isOpen() && !application_.write(bytes)) {
        if (application_.isOpen()) {
            messages_.inform(application_.errorString());
        }
        return;
    }
    emit keyerBytesRelayed(bytes);
}

}  // namespace bridge
