#include "tone/radio_listener.h"

#include <cmath>

#include "platform/qt_audio_input.h"
#include "tone/latency_follower.h"

namespace tone {

RadioListener::RadioListener(QObject* parent, std::unique_ptr<platform::AudioInput> input)
    : QObject(parent),
      input_(input ? std::move(input) : std::make_unique<platform::QtAudioInput>()) {}

RadioListener::~RadioListener() {
    input_->stop();
}

void RadioListener::listen(const QString& id, std::optional<double> pitchHz,
                           const QString& sidetoneOutputId) {
    input_->stop();
    delay_.reset();
    last_.reset();
    id_ = id;
    pitch_ = pitchHz;
    hearsItself_ = !id.isEmpty() && hearsItself(id.toStdString(), sidetoneOutputId.toStdString());
    opened_ = false;
    if (!id.isEmpty() && !hearsItself_) {
        opened_ = input_->listen(
            id, [this](std::span<const float> samples, int rate, std::chrono::nanoseconds readAt) {
                heard(samples, rate, readAt);
            });
    }
    emit estimateChanged();
}

void RadioListener::keyerStream(std::span<const keyer::StreamEvent> events, TimePoint forwardedAt) {
    keyer_.receive(events, forwardedAt);
    keyer_.commitUntil(kNever);
    for (const SidetoneCommand& c : keyer_.takeCommands()) {
        keyed_.apply(c);
    }
    keyer_.forget(forwardedAt);
}

void RadioListener::keyerClosed(TimePoint at) {
    keyer_.stop(at);
    for (const SidetoneCommand& c : keyer_.takeCommands()) {
        keyed_.apply(c);
    }
}

void RadioListener::heard(std::span<const float> samples, int frameRate, TimePoint readAt) {
    if (!delay_ || rate_ != frameRate) {
        rate_ = frameRate;
        delay_.emplace(frameRate, pitch_);
    }
    const double now = toSeconds(readAt) * 1000;
    keyed_.forget(now);
    delay_->keyed(keyed_.stretches(now));
    delay_->heard(samples, readAt);
    const std::optional<DelayEstimate> e = delay_->estimate();
    const bool changed =
        e.has_value() != last_.has_value() || (e && std::abs(e->delayMs - last_->delayMs) >= 0.05);
    last_ = e;
    if (changed) {
        emit estimateChanged();
    }
}

RadioListener::State RadioListener::state() const {
    if (id_.isEmpty()) {
        return State::Off;
    }
    if (hearsItself_) {
        return State::HearsItself;
    }
    if (!opened_) {
        return State::NotOpened;
    }
    return last_ ? State::Measured : State::Listening;
}

std::optional<DelayEstimate> RadioListener::estimate() const {
    return last_;
}

QString RadioListener::statusText() const {
    switch (state()) {
        case State::Off:
            return QStringLiteral("Radio audio: none chosen.");
        case State::HearsItself:
            return QStringLiteral(
                "Radio audio: this input is the monitor of the sidetone's own output, so Vantrel "
                "would hear itself. Choose the input that carries the radio's receive audio.");
        case State::NotOpened:
            return QStringLiteral("Radio audio: the chosen input could not be opened.");
        case State::Listening:
            return QStringLiteral("Radio delay: listening; no CW of ours heard yet.");
        case State::Measured:
            return QStringLiteral("Radio delay: %1 ms (within %2 ms; %3 key edges, tone %4 Hz).")
                .arg(last_->delayMs, 0, 'f', 1)
                .arg(std::max(0.1, 2 * last_->plusMinusMs), 0, 'f', 1)
                .arg(last_->edges)
                .arg(std::lround(last_->pitchHz));
    }
    return {};
}

}  // namespace tone
