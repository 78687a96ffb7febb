#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <deque>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "keyer/stream_event.h"
#include "platform/audio_input.h"
#include "platform/audio_output.h"
#include "tone/keyer_mirror.h"
#include "tone/latency_plan.h"
#include "tone/radio_listener.h"
#include "tone/sidetone_source.h"

namespace tone {

using Clock = std::chrono::steady_clock;

// The monitor: keys what the keyer receives, as the keyer keys it, the operator's latency later,
// on the sidetone. The keying is planned as soon as the bytes go to the keyer and handed to the
// audio thread ahead of time; a timer wakes the window's thread only when the next character is
// to be handed over, and rests while nothing waits. Neither the window nor the relay ever waits.
class MonitorPlayer : public QObject {
    Q_OBJECT

  public:
    // `audio` is the sound output; the system's (Qt Multimedia) when none is given.
    // `radioInput` is where the radio's audio is listened to; the system's when none is given.
    explicit MonitorPlayer(QObject* parent = nullptr,
                           std::unique_ptr<platform::AudioOutput> audio = nullptr,
                           std::unique_ptr<platform::AudioInput> radioInput = nullptr);
    ~MonitorPlayer() override;

    // The keyer received `events` at `forwardedAt` (monotonic): they sound the latency later.
    void keyerStream(std::span<const keyer::StreamEvent> events, TimePoint forwardedAt);
    // Test: what is queued is replaced by TEST, which sounds the latency after now.
    void test();
    // The operator's controls, taken when they change.
    void setLatency(double milliseconds);
    void setVolume(int hundredthsOfDb);
    // The speed to key at while the keyer's own stream does not say (its port closed).
    void setSpeed(int wpm);
    // The keyer is gone (Disconnect, or its port was lost): whatever the monitor keys ends now.
    void keyerClosed();

    // Rebuilds the sound: reads the tone file again and loops it at 4 x `pitch` samples per
    // second from the next silent moment; moves to device `soundDeviceIndex` (list position)
    // when that is another device or the current one stopped. The keying goes on where it was.
    void SetSound(int soundDeviceIndex, int pitch);
    // The output devices' descriptions, enumerated afresh, in list order.
    QStringList deviceDescriptions() const;

    // The radio's delay, measured from the radio's receive audio on input `inputId` (empty:
    // none), for CW at `pitchHz` or at the pitch found.
    void listenToRadio(const QString& inputId, std::optional<double> pitchHz);
    RadioListener& radio() { return radio_; }
    const RadioListener& radio() const { return radio_; }
    // Takes the measured delay as the latency now; false when none is known.
    bool takeRadioDelay();
    // While following, the latency follows the measured delay, between words.
    void setFollowRadio(bool follow);
    bool followsRadio() const { return follow_; }
    // Why the sidetone cannot be heard, in the operator's words; empty while a device plays.
    QString soundProblem() const;

    // The text characters that have not started sounding yet.
    std::string pendingText() const;
    // Whether anything is still to sound.
    bool busy() const;
    // When the window's thread is next woken for the monitor, in ms; -1 when it is not.
    int wakesInMs() const { return timer_.isActive() ? timer_.remainingTime() : -1; }
    const SidetoneSource& source() const { return source_; }
    // How often the sound output ran out of sound while playing, and the buffer it holds now.
    std::int64_t underruns() const { return source_.underruns(); }
    double bufferSeconds() const { return source_.bufferInUse(); }
    const platform::AudioOutput& audio() const { return *audio_; }

    // Where the tone file is looked for: the working directory, then beside the program,
    // then in the program's installed data folder.
    static QStringList toneFileCandidates();

  signals:
    // The latency was taken from the radio's measured delay.
    void latencyFollowed(int milliseconds);

  private:
    void pump();
    void reportUnderruns();
    bool followRadio();

    std::unique_ptr<platform::AudioOutput> audio_;
    SidetoneSource source_;
    KeyerMirror mirror_;
    std::deque<SidetoneCommand> unsent_;  // waiting for room in the hand-over
    QTimer timer_;
    double latencyMs_ = 0;
    TimePoint shift_{};  // the latency
    std::optional<int> device_;
    std::int64_t underrunsReported_ = 0;
    RadioListener radio_;
    bool follow_ = false;
};

}  // namespace tone
