#pragma once

#include <QString>
#include <QThread>

#include <atomic>
#include <memory>
#include <mutex>

#include "platform/audio_output.h"

namespace platform {

class SinkWorker;

// AudioOutput on Qt Multimedia: a QAudioSink in push mode, topped up every few milliseconds on a
// thread of its own that runs at the highest priority the system grants.
class QtAudioOutput final : public AudioOutput {
  public:
    // The sound queued in the device until told otherwise.
    static constexpr double kDefaultBufferSeconds = 0.060;
    static constexpr int kRefillMs = 10;

    QtAudioOutput();
    ~QtAudioOutput() override;
    QtAudioOutput(const QtAudioOutput&) = delete;
    QtAudioOutput& operator=(const QtAudioOutput&) = delete;

    QStringList deviceDescriptions() const override;
    void play(int position, SampleSource* source) override;
    bool isPlaying() const override;
    void wake() override;
    void setBufferSeconds(double seconds) override;
    int underruns() const override;

    // What scheduling the output's thread got (for the benchmarks).
    QString priority() const;

    // What the output's thread and the others share.
    struct Shared {
        std::atomic<bool> playing{false};
        std::atomic<int> underruns{0};
        std::mutex priorityLock;
        QString priority;
    };

  private:
    QThread thread_;
    SinkWorker* worker_ = nullptr;  // lives on thread_
    std::shared_ptr<Shared> shared_;
};

}  // namespace platform
