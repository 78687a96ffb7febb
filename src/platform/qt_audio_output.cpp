#include "platform/qt_audio_output.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

namespace platform {
namespace {

// Push mode: a small device buffer refilled every few milliseconds keeps the delay short and
// steady (about 10 ms of sound queued). While the source rests the stream is suspended and
// nothing wakes the thread until the next wake().
constexpr double kBufferSeconds = 0.020;
constexpr int kRefillMs = 5;
constexpr int kFirstRefillMs = 1;  // after a rest, until the device takes sound again
constexpr int kBytesPerFrame = 2;  // mono, 16-bit

}  // namespace

// Owns the sink; lives on the output's thread.
class SinkWorker : public QObject {
  public:
    explicit SinkWorker(std::shared_ptr<std::atomic<bool>> playing) : playing_(std::move(playing)) {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(kRefillMs);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] { refill(); });
    }

    void open(const QAudioDevice& device, SampleSource* source) {
        close();
        if (device.isNull() || source == nullptr) {
            return;
        }
        QAudioFormat format;
        format.setSampleRate(std::clamp(device.preferredFormat().sampleRate(), 8000, 192000));
        format.setChannelCount(1);
        format.setSampleFormat(QAudioFormat::Int16);
        sink_ = std::make_unique<QAudioSink>(device, format);
        const int rate = format.sampleRate();
        sink_->setBufferSize(static_cast<qsizetype>(kBufferSeconds * rate) * kBytesPerFrame);
        source_ = source;
        source_->startStream(rate);
        written_ = 0;
        pending_.clear();
        io_ = sink_->start();
        if (io_ == nullptr || sink_->error() != QAudio::NoError) {
            close();
            return;
        }
        QObject::connect(sink_.get(), &QAudioSink::stateChanged, this, [this](QAudio::State) {
            if (sink_ &&
                (sink_->error() == QAudio::OpenError || sink_->error() == QAudio::FatalError)) {
                close();  // the device went away: silence from here on, once
            }
        });
        playing_->store(true);
        resting_ = false;
        timer_.start();
        refill();
    }

    // Takes what the source has new at once: a resting stream starts again; a playing one is
    // topped up now rather than at the next turn of the timer.
    void wake() {
        if (!sink_) {
            return;
        }
        if (!resting_) {
            refill();
            return;
        }
        resting_ = false;
        sink_->resume();
        // The device takes the first sound after the rest once it has played a little; finding
        // that out within a millisecond keeps the first reading of its position fresh.
        timer_.start(kFirstRefillMs);
        refill();
    }

    void close() {
        timer_.stop();
        playing_->store(false);
        io_ = nullptr;
        if (sink_) {
            sink_->disconnect(this);
            sink_->stop();
            sink_.reset();
        }
        source_ = nullptr;
    }

  private:
    void refill() {
        if (!sink_ || io_ == nullptr) {
            return;
        }
        if (!pending_.empty()) {
            const qint64 n = io_->write(pending_.data(), static_cast<qint64>(pending_.size()));
            pending_.erase(pending_.begin(), pending_.begin() + std::max<qint64>(n, 0));
            if (!pending_.empty()) {
                return;
            }
        }
        const qsizetype freeBytes = sink_->bytesFree();
        const qsizetype frames = freeBytes / kBytesPerFrame;
        if (frames <= 0) {
            return;
        }
        if (timer_.interval() != kRefillMs) {
            timer_.setInterval(kRefillMs);
        }
        StreamPosition position;
        position.now = std::chrono::steady_clock::now().time_since_epoch();
        position.framesWritten = written_;
        position.framesQueued = (sink_->bufferSize() - freeBytes) / kBytesPerFrame;
        samples_.resize(static_cast<std::size_t>(frames));
        source_->render(samples_, position);
        written_ += frames;
        const auto bytes = static_cast<qint64>(frames * kBytesPerFrame);
        const qint64 n = io_->write(reinterpret_cast<const char*>(samples_.data()), bytes);
        if (n < bytes) {
            const auto* from =
                reinterpret_cast<const char*>(samples_.data()) + std::max<qint64>(n, 0);
            pending_.assign(from, reinterpret_cast<const char*>(samples_.data()) + bytes);
            return;
        }
        if (source_->resting()) {
            // Only silence until woken: the stream is suspended with its buffer full (never let
            // run dry: an underrun could swallow the next sound), and nothing wakes this thread
            // meanwhile.
            timer_.stop();
            sink_->suspend();
            resting_ = true;
        }
    }

    std::shared_ptr<std::atomic<bool>> playing_;
    QTimer timer_{this};
    std::unique_ptr<QAudioSink> sink_;
    QIODevice* io_ = nullptr;
    SampleSource* source_ = nullptr;
    std::int64_t written_ = 0;
    std::vector<std::int16_t> samples_;
    std::vector<char> pending_;
    bool resting_ = false;
};

QtAudioOutput::QtAudioOutput() : playing_(std::make_shared<std::atomic<bool>>(false)) {
    worker_ = new SinkWorker(playing_);
    worker_->moveToThread(&thread_);
    QObject::connect(&thread_, &QThread::finished, worker_, &QObject::deleteLater);
    thread_.setObjectName(QStringLiteral("sidetone"));
    thread_.start(QThread::TimeCriticalPriority);
}

QtAudioOutput::~QtAudioOutput() {
    QMetaObject::invokeMethod(
        worker_, [w = worker_] { w->close(); }, Qt::BlockingQueuedConnection);
    thread_.quit();
    thread_.wait();
}

QStringList QtAudioOutput::deviceDescriptions() const {
    QStringList list;
    for (const QAudioDevice& device : QMediaDevices::audioOutputs()) {
        list << device.description();
    }
    return list;
}

void QtAudioOutput::play(int position, SampleSource* source) {
    const QList<QAudioDevice> devices = QMediaDevices::audioOutputs();
    const QAudioDevice device = position >= 0 && position < devices.size()
                                    ? devices.at(position)
                                    : QMediaDevices::defaultAudioOutput();
    QMetaObject::invokeMethod(
        worker_, [w = worker_, device, source] { w->open(device, source); }, Qt::QueuedConnection);
}

bool QtAudioOutput::isPlaying() const {
    return playing_->load();
}

void QtAudioOutput::wake() {
    QMetaObject::invokeMethod(
        worker_, [w = worker_] { w->wake(); }, Qt::QueuedConnection);
}

}  // namespace platform
