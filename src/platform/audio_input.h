#pragma once

#include <QList>
#include <QString>

#include <chrono>
#include <functional>
#include <span>

namespace platform {

// A sound input (a device, or on Linux the monitor of a sound output), read on the thread that
// listens to it.
class AudioInput {
  public:
    struct Device {
        QString id;           // stable while the device exists (on PulseAudio: the source's name)
        QString description;  // what the operator reads
    };
    // `samples` (mono, full scale 1) at `frameRate` were read at `readAt` (monotonic): the last
    // the input had delivered by then.
    using Heard = std::function<void(std::span<const float> samples, int frameRate,
                                     std::chrono::nanoseconds readAt)>;

    virtual ~AudioInput() = default;
    // The inputs, enumerated afresh.
    virtual QList<Device> devices() const = 0;
    // Listens to the input `id`, replacing what it listened to; false when it cannot be opened.
    virtual bool listen(const QString& id, Heard heard) = 0;
    virtual void stop() = 0;
};

}  // namespace platform
