#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <string>
#include <string_view>

#include "tone/monitor_queue.h"

namespace tone {

// What the monitor reads from the main window's controls, afresh whenever it needs them.
struct MonitorControls {
    std::function<QString()> latencyText;  // Text6: latency in timer ticks (ms)
    std::function<QString()> speedText;    // Text4: words per minute
    std::function<int()> volume;           // VScroll1: hundredths of a dB, 0 .. -3000
};

// The monitor: plays monitorQueue as Morse on the sidetone after the latency.
// PLACEHOLDER API; the monitor issue fills it in.
class MonitorPlayer : public QObject {
    Q_OBJECT

  public:
    explicit MonitorPlayer(MonitorControls controls, QObject* parent = nullptr);

    const std::string& monitorQueue() const { return queue_.text(); }
    void replaceQueue(std::string codes) { queue_.replace(std::move(codes)); }
    void appendToQueue(std::string_view codes) { queue_.append(codes); }
    void clearQueue() { queue_.clear(); }

    // Rebuilds the audio output on device `soundDeviceIndex` (list position) at `pitch`.
    void SetSound(int soundDeviceIndex, int pitch);
    // The output devices' descriptions, enumerated afresh, in list order.
    QStringList deviceDescriptions() const;

  private:
    MonitorControls controls_;
    MonitorQueue queue_;
};

}  // namespace tone
