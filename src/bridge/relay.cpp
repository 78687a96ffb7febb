#include "bridge/relay.h"

#include <algorithm>

namespace bridge {

Relay::Relay(platform::SerialPort& applicationPort, platform::SerialPort& keyerPort,
             platform::MessageBoxes& messages, QObject* parent)
    : QObject(parent), application_(applicationPort), keyer_(keyerPort), messages_(messages) {
    gatherTimer_.setSingleShot(true);
    gatherTimer_.setTimerType(Qt::PreciseTimer);
    connect(&gatherTimer_, &QTimer::timeout, this, &Relay::gatherStep);

    connect(&application_, &platform::SerialPort::readyRead, this, &Relay::onApplicationReadyRead);
    connect(&keyer_, &platform::SerialPort::readyRead, this, &Relay::RETDataWinkey);
    // A port that dies may still hold bytes it had read: they are relayed, not lost.
    connect(&application_, &platform::SerialPort::failed, this, [this] { GetDataWinkey({}); });
    connect(&keyer_, &platform::SerialPort::failed, this, &Relay::RETDataWinkey);
}

void Relay::onApplicationReadyRead() {
    localTyping_ = false;
    GetDataWinkey({});
}

void Relay::GetDataWinkey(const std::string& msg) {
    if (!msg.empty()) {
        forward(msg, /*typed=*/true);
        return;
    }
    // A gathering under way picks up the new bytes at its next step.
    if (!gathering_) {
        gathering_ = true;
        nextStep_ = std::chrono::steady_clock::now();
        gatherStep();
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
    if (forward(appChunk_, /*typed=*/false)) {
        appChunk_.clear();
    }
    // What a full chunk left behind is gathered as the next chunk.
    if (application_.bytesWaiting() > 0) {
        GetDataWinkey({});
    }
}

// Writes the chunk to the keyer and hands it on. A chunk that could not be written is kept by
// the caller, so it goes again in front of the next bytes.
bool Relay::forward(const std::string& chunk, bool typed) {
    if (chunk.empty()) {
        return true;
    }
    chunkBusy_ = true;
    const bool keyerOpen = keyer_.isOpen();
    if (keyerOpen && !keyer_.write(QByteArray::fromStdString(chunk))) {
        chunkBusy_ = false;
        // A port that died on this write has already told the operator.
        if (keyer_.isOpen()) {
            messages_.inform(keyer_.errorString());
        }
        return false;
    }
    emit chunkForwarded(chunk, typed, keyerOpen);
    chunkBusy_ = false;
    return true;
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
