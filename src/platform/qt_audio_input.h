#pragma once

#include <QAudioSource>
#include <QObject>

#include <memory>
#include <vector>

#include "platform/audio_input.h"

namespace platform {

// AudioInput on Qt Multimedia: a QAudioSource in push mode, read as its data arrives.
class QtAudioInput final : public QObject, public AudioInput {
  public:
    QList<Device> devices() const override;
    bool listen(const QString& id, Heard heard) override;
    void stop() override;

  private:
    void read();

    std::unique_ptr<QAudioSource> source_;
    QIODevice* io_ = nullptr;
    Heard heard_;
    int rate_ = 48000;
    std::vector<float> samples_;
};

}  // namespace platform
