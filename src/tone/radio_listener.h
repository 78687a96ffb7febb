#pragma once

#include <QObject>
#include <QString>

#include <memory>
#include <optional>
#include <span>

#include "keyer/stream_event.h"
#include "platform/audio_input.h"
#include "tone/keyed_timeline.h"
#include "tone/keyer_mirror.h"
#include "tone/radio_delay.h"

namespace tone {

// Listens to the radio's receive audio and measures the radio's delay: the keyer's own timeline
// (what the keyer keys, without the latency) against the radio's CW heard in the audio.
class RadioListener : public QObject {
    Q_OBJECT

  public:
    enum class State { Off, HearsItself, NotOpened, Listening, Measured };

    // `input`: where the radio's audio comes from; the system's (Qt Multimedia) when none.
    explicit RadioListener(QObject* parent = nullptr,
                           std::unique_ptr<platform::AudioInput> input = nullptr);
    ~RadioListener() override;

    QList<platform::AudioInput::Device> inputs() const { return input_->devices(); }
    // Listens to input `id` (empty: none), for CW at `pitchHz` or at the pitch it finds.
    // `sidetoneOutputId` is the output the sidetone plays into: its own monitor is refused.
    void listen(const QString& id, std::optional<double> pitchHz, const QString& sidetoneOutputId);
    QString inputId() const { return id_; }
    std::optional<double> givenPitch() const { return pitch_; }

    // What reaches the keyer, when it reaches it (no latency).
    void keyerStream(std::span<const keyer::StreamEvent> events, TimePoint forwardedAt);
    void keyerClosed(TimePoint at);

    State state() const;
    std::optional<DelayEstimate> estimate() const;
    // The state in the operator's words.
    QString statusText() const;

  signals:
    void estimateChanged();

  private:
    void heard(std::span<const float> samples, int frameRate, TimePoint readAt);

    std::unique_ptr<platform::AudioInput> input_;
    QString id_;
    std::optional<double> pitch_;
    bool hearsItself_ = false;
    bool opened_ = false;
    std::optional<RadioDelay> delay_;
    int rate_ = 0;
    KeyerMirror keyer_;
    KeyedTimeline keyed_;
    std::optional<DelayEstimate> last_;
};

}  // namespace tone
