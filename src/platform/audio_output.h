#pragma once

#include <QStringList>

#include "platform/audio_stream.h"

namespace platform {

// A sound output device that plays what a SampleSource renders, on a thread of its own.
class AudioOutput {
  public:
    virtual ~AudioOutput() = default;

    // The output devices' descriptions, enumerated afresh, in list order.
    virtual QStringList deviceDescriptions() const = 0;
    // The id of the device at list position `position` (the system's default when there is no
    // such position); empty where ids are not known.
    virtual QString deviceId(int position) const {
        (void)position;
        return {};
    }
    // Plays `source` on the device at list position `position` (the system's default device
    // when there is no such position), replacing any stream before. Silence when the device
    // cannot be opened; nothing is reported. The source must outlive the output.
    virtual void play(int position, SampleSource* source) = 0;
    // Whether a stream is playing (false after a device failed or vanished).
    virtual bool isPlaying() const = 0;
    // The source has something new to render: the output takes it at once, and a resting
    // stream starts again. Any thread.
    virtual void wake() = 0;
};

}  // namespace platform
