#pragma once

#include <QThread>

#include <atomic>
#include <memory>

#include "platform/audio_output.h"

namespace platform {

class SinkWorker;

// AudioOutput on Qt Multimedia: a QAudioSink in push mode, fed every 5 ms on its own thread.
class QtAudioOutput final : public AudioOutput {
  public:
    QtAudioOutput();
    ~QtAudioOutput() override;
    QtAudioOutput(const QtAudioOutput&) = delete;
    QtAudioOutput& operator=(const QtAudioOutput&) = delete;

    QStringList deviceDescriptions() const override;
    void play(int position, SampleSource* source) override;
    bool isPlaying() const override;
    void wake() override;

  private:
    QThread thread_;
    SinkWorker* worker_ = nullptr;  // lives on thread_
    std::shared_ptr<std::atomic<bool>> playing_;
};

}  // namespace platform
