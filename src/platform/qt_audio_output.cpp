#include "platform/qt_audio_output.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QIODevice>
#include <QMediaDevices>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <vector>

#include "platform/audio_priority.h"

namespace platform {
namespace {

constexpr int kBytesPerFrame = 2;  // mono, 16-bit

}  // namespace

// Owns the sink; lives on the output's thread. While the source rests the stream is suspended
// and nothing wakes the thread until the next wake().
class SinkWorker : public QObject {
  public:
    explicit SinkWorker(std::shared_ptr<QtAudioOutput::Shared> shared)
        : shared_(std::move(shared)) {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] { refill(); });
    }

    void raisePriority() {
        const QString granted = raiseToAudioPriority();
        const std::lock_guard lock(shared_->priorityLock);
        shared_->priority = granted;
    }

    void open(const QAudioDevice& device, SampleSource* source) {
        close();
        if (device.isNull() || source == nullptr) {
            return;
        }
        device_ = device;
        QAudioFormat format;
        format.setSampleRate(std::clamp(device.preferredFormat().sampleRate(), 8000, 192000));
        format.setChannelCount(1);
        format.setSampleFormat(QAudioFormat::Int16);
        sink_ = std::make_unique<QAudioSink>(device, format);
        const int rate = format.sampleRate();
        rate_ = rate;
        sink_->setBufferSize(static_cast<qsizetype>(source->bufferSeconds() * rate) *
                             kBytesPerFrame);
        source_ = source;
        written_ = 0;
        pendingFrom_ = pendingTo_ = 0;
        io_ = sink_->start();
        if (io_ == nullptr || sink_->error() != QAudio::NoError) {
            close();
            return;
        }
        source_->startStream(rate, sink_->bufferSize() / kBytesPerFrame);
        // Room for a whole buffer, whatever the device granted: nothing grows while playing.
        samples_.assign(static_cast<std::size_t>(std::max<qsizetype>(sink_->bufferSize(), rate)),
                        0);
        QObject::connect(sink_.get(), &QAudioSink::stateChanged, this, [this](QAudio::State s) {
            if (!sink_) {
                return;
            }
            if (sink_->error() == QAudio::OpenError || sink_->error() == QAudio::FatalError) {
                close();  // the device went away: silence from here on, once
            } else if (s == QAudio::ActiveState) {
                started_ = true;
            } else if (s == QAudio::IdleState && started_ && !resting_) {
                source_->ranDry();  // Qt 6.4 reports no error for it, only the idle state
            }
        });
        shared_->playing.store(true);
        resting_ = false;
        started_ = false;
        refill();
    }

    // Takes what the source has new at once: a resting stream plays again.
    void wake() {
        if (!sink_) {
            return;
        }
        if (resting_) {
            resting_ = false;
            sink_->resume();
            source_->streamResumed();
        }
        refill();
    }

    void close() {
        timer_.stop();
        shared_->playing.store(false);
        io_ = nullptr;
        if (sink_) {
            sink_->disconnect(this);
            sink_->stop();
            sink_.reset();
        }
        source_ = nullptr;
    }

  private:
    // Writes what the device did not take last time; true when nothing is left over.
    bool writePending() {
        while (pendingFrom_ < pendingTo_) {
            const qint64 n =
                io_->write(reinterpret_cast<const char*>(samples_.data() + pendingFrom_),
                           static_cast<qint64>((pendingTo_ - pendingFrom_) * kBytesPerFrame));
            if (n <= 0) {
                return false;
            }
            pendingFrom_ += static_cast<std::size_t>(n / kBytesPerFrame);
        }
        return true;
    }

    void refill() {
        if (!sink_ || io_ == nullptr) {
            return;
        }
        if (!writePending()) {
            timer_.start(refillInMs_);
            return;
        }
        const qsizetype freeBytes = sink_->bytesFree();
        const auto frames = std::min<std::size_t>(
            static_cast<std::size_t>(std::max<qsizetype>(freeBytes, 0)) / kBytesPerFrame,
            samples_.size());
        StreamPosition position;
        position.now = std::chrono::steady_clock::now().time_since_epoch();
        position.framesWritten = written_;
        position.framesQueued = (sink_->bufferSize() - freeBytes) / kBytesPerFrame;
        position.framesPlayed = sink_->processedUSecs() * rate_ / 1'000'000;
        const OutputStep step = source_->fill(std::span(samples_.data(), frames), position);
        written_ += static_cast<std::int64_t>(step.frames);
        pendingFrom_ = 0;
        pendingTo_ = step.frames;
        const bool allWritten = writePending();
        switch (step.then) {
            case OutputStep::Then::Refill:
                refillInMs_ = step.refillInMs;
                timer_.start(refillInMs_);
                return;
            case OutputStep::Then::Rest:
                if (!allWritten) {
                    timer_.start(refillInMs_);
                    return;
                }
                // Suspended with its buffer full of silence (never let run dry: an underrun
                // could swallow the next sound); nothing wakes this thread meanwhile.
                timer_.stop();
                sink_->suspend();
                resting_ = true;
                return;
            case OutputStep::Then::Reopen:
                open(QAudioDevice(device_), source_);
                return;
        }
    }

    std::shared_ptr<QtAudioOutput::Shared> shared_;
    QTimer timer_{this};
    std::unique_ptr<QAudioSink> sink_;
    QIODevice* io_ = nullptr;
    SampleSource* source_ = nullptr;
    QAudioDevice device_;
    std::int64_t written_ = 0;
    qint64 rate_ = 48000;
    std::vector<std::int16_t> samples_;
    std::size_t pendingFrom_ = 0;  // frames of samples_ rendered but not yet taken
    std::size_t pendingTo_ = 0;
    int refillInMs_ = 10;  // as the source last said
    bool resting_ = false;
    bool started_ = false;  // the device has played: an idle state from now on is running dry
};

QtAudioOutput::QtAudioOutput() : shared_(std::make_shared<Shared>()) {
    worker_ = new SinkWorker(shared_);
    worker_->moveToThread(&thread_);
    QObject::connect(&thread_, &QThread::finished, worker_, &QObject::deleteLater);
    thread_.setObjectName(QStringLiteral("sidetone"));
    thread_.start();
    QMetaObject::invokeMethod(
        worker_, [w = worker_] { w->raisePriority(); }, Qt::QueuedConnection);
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

QString QtAudioOutput::deviceId(int position) const {
    const QList<QAudioDevice> devices = QMediaDevices::audioOutputs();
    const QAudioDevice device = position >= 0 && position < devices.size()
                                    ? devices.at(position)
                                    : QMediaDevices::defaultAudioOutput();
    return QString::fromUtf8(device.id());
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
    return shared_->playing.load();
}

void QtAudioOutput::wake() {
    QMetaObject::invokeMethod(
        worker_, [w = worker_] { w->wake(); }, Qt::QueuedConnection);
}

QString QtAudioOutput::priority() const {
    const std::lock_guard lock(shared_->priorityLock);
    return shared_->priority;
}

}  // namespace platform
