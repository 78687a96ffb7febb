#pragma once

#include <QString>
#include <QThread>

#include <atomic>
#include <memory>
#include <mutex>

#include "platform/audio_output.h"

namespace platform {

class SinkWorker;

// AudioOutput on Qt Multimedia: a QAudioSink in push mode on a thread of its own that runs at the
// highest priority the system grants. It does what the source says: how big a buffer to ask for,
// when to fill it next, when to rest and when to open the stream again.
class QtAudioOutput final : public AudioOutput {
  public:
    QtAudioOutput();
    ~QtAudioOutput() override;
    QtAudioOutput(const QtAudioOutput&) = delete;
    QtAudioOutput& operator=(const QtAudioOutput&) = delete;

    QStringList deviceDescriptions() const override;
    QString deviceId(int position) const override;
    void play(int position, SampleSource* source) override;
    bool isPlaying() const override;
    void wake() override;

    // What scheduling the output's thread got (for the benchmarks).
    QString priority() const;

    // What the output's thread and the others share.
    struct Shared {
        std::atomic<bool> playing{false};
        std::mutex priorityLock;
        QString priority;
    };

  private:
    QThread thread_;
    SinkWorker* worker_ = nullptr;  // lives on thread_
    std::shared_ptr<Shared> shared_;
};

}  // namespace platform
