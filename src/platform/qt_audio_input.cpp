#include "platform/qt_audio_input.h"

#include <QAudioDevice>
#include <QMediaDevices>

#include <algorithm>

namespace platform {

QList<AudioInput::Device> QtAudioInput::devices() const {
    QList<Device> list;
    for (const QAudioDevice& d : QMediaDevices::audioInputs()) {
        list.push_back({QString::fromUtf8(d.id()), d.description()});
    }
    return list;
}

bool QtAudioInput::listen(const QString& id, Heard heard) {
    stop();
    QAudioDevice device;
    for (const QAudioDevice& d : QMediaDevices::audioInputs()) {
        if (QString::fromUtf8(d.id()) == id) {
            device = d;
        }
    }
    if (device.isNull()) {
        return false;
    }
    QAudioFormat format;
    rate_ = std::clamp(device.preferredFormat().sampleRate(), 8000, 48000);
    format.setSampleRate(rate_);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    source_ = std::make_unique<QAudioSource>(device, format);
    source_->setBufferSize(rate_ / 10 * 2);  // 100 ms: read in small pieces as they come
    io_ = source_->start();
    if (io_ == nullptr || source_->error() != QAudio::NoError) {
        stop();
        return false;
    }
    heard_ = std::move(heard);
    connect(io_, &QIODevice::readyRead, this, &QtAudioInput::read);
    return true;
}

void QtAudioInput::stop() {
    if (source_) {
        if (io_ != nullptr) {
            io_->disconnect(this);
        }
        source_->stop();
        source_.reset();
    }
    io_ = nullptr;
    heard_ = nullptr;
}

void QtAudioInput::read() {
    const auto readAt = std::chrono::steady_clock::now().time_since_epoch();
    const QByteArray bytes = io_->readAll();
    const auto frames = static_cast<std::size_t>(bytes.size() / 2);
    samples_.resize(frames);
    const auto* data = reinterpret_cast<const std::int16_t*>(bytes.constData());
    for (std::size_t i = 0; i < frames; ++i) {
        samples_[i] = static_cast<float>(data[i]) / 32768.0F;
    }
    if (heard_ && frames > 0) {
        heard_(samples_, rate_, readAt);
    }
}

}  // namespace platform
