#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/audio_output.h"
#include "tone/monitor.h"
#include "tone/sidetone_source.h"

namespace tone {

// What the monitor reads from the main window's controls, afresh whenever it needs them.
struct MonitorControls {
    std::function<QString()> latencyText;  // Text6: latency in timer ticks (ms)
    std::function<QString()> speedText;    // Text4: words per minute
    std::function<int()> volume;           // VScroll1: hundredths of a dB, 0 .. -3000
};

// The monitor: plays monitorQueue as Morse on the sidetone after the latency. A 1 ms timer
// counts the latency; during a run the timer fires only when a character is to be handed over
// or is over, and it rests while the queue is empty. The sound is rendered on the audio
// output's own thread, so neither the window nor the relay ever waits.
class MonitorPlayer : public QObject {
    Q_OBJECT

  public:
    // `audio` is the sound output; the system's (Qt Multimedia) when none is given.
    explicit MonitorPlayer(MonitorControls controls, QObject* parent = nullptr,
                           std::unique_ptr<platform::AudioOutput> audio = nullptr);
    ~MonitorPlayer() override;

    const std::string& monitorQueue() const { return monitor_.monitorQueue(); }
    void replaceQueue(std::string codes);
    void appendToQueue(std::string_view codes);
    void clearQueue();

    // Rebuilds the sound: reads the tone file again and loops it at 4 x `pitch` samples per
    // second from the next silent moment; moves to device `soundDeviceIndex` (list position)
    // when that is another device or the current one stopped.
    void SetSound(int soundDeviceIndex, int pitch);
    // The output devices' descriptions, enumerated afresh, in list order.
    QStringList deviceDescriptions() const;

    const Monitor& monitor() const { return monitor_; }
    bool ticking() const { return timer_.isActive(); }
    // From the request of the last run to its first sound in the device, in seconds, as the
    // sound stream reports its position; NaN before the first run.
    double lastRunLatency() const { return source_.lastRunLatency(); }

    // Where the tone file is looked for: the working directory, then beside the program,
    // then in the program's installed data folder.
    static QStringList toneFileCandidates();

  private:
    void onTick();
    void wake();
    void schedule();

    MonitorControls controls_;
    std::unique_ptr<platform::AudioOutput> audio_;
    SidetoneSource source_;
    Monitor monitor_;
    QTimer timer_;
    std::optional<int> device_;
};

}  // namespace tone
