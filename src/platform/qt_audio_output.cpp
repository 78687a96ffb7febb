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

constexpr int kFirstRefillMs = 1;  // after a rest, until the device takes sound again
constexpr int kBytesPerFrame = 2;  // mono, 16-bit
// The refills come at uneven intervals, from kRefillMs - 4 to kRefillMs + 4: the device reports
// what it has played in steps, and readings taken in step with those would all lag alike, for
// seconds; readings at scattered moments soon include fresh ones.
constexpr int kRefillSpread = 4;

}  // namespace

// Owns the sink; lives on the output's thread. While the source rests the stream is suspended
// and nothing wakes the thread until the next wake().
class SinkWorker : public QObject {
  public:
    explicit SinkWorker(std::shared_ptr<QtAudioOutput::Shared> shared)
        : shared_(std::move(shared)) {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] {
            refill();
            if (sink_ && !resting_) {
                timer_.start(nextRefillMs());
            }
        });
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
        bufferSeconds_ = wantedBufferSeconds_;
        QAudioFormat format;
        format.setSampleRate(std::clamp(device.preferredFormat().sampleRate(), 8000, 192000));
        format.setChannelCount(1);
        format.setSampleFormat(QAudioFormat::Int16);
        sink_ = std::make_unique<QAudioSink>(device, format);
        const int rate = format.sampleRate();
        rate_ = rate;
        sink_->setBufferSize(static_cast<qsizetype>(bufferSeconds_ * rate) * kBytesPerFrame);
        source_ = source;
        source_->startStream(rate);
        written_ = 0;
        pendingFrom_ = pendingTo_ = 0;
        io_ = sink_->start();
        if (io_ == nullptr || sink_->error() != QAudio::NoError) {
            close();
            return;
        }
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
                // The device ran dry (Qt 6.4 reports no error for it, only the idle state).
                shared_->underruns.fetch_add(1, std::memory_order_relaxed);
                source_->streamMoved();
            }
        });
        shared_->playing.store(true);
        resting_ = false;
        started_ = false;
        timer_.start(QtAudioOutput::kRefillMs);
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
        source_->streamMoved();
        // The device takes the first sound after the rest once it has played a little; finding
        // that out within a millisecond keeps the first reading of its position fresh.
        timer_.start(kFirstRefillMs);
        refill();
    }

    // A new buffer length is taken at once while the stream rests (nothing sounds, and what is
    // still to sound keeps its times on the new stream), else the next time it rests.
    void setBufferSeconds(double seconds) {
        wantedBufferSeconds_ = seconds;
        if (sink_ && resting_ && bufferSeconds_ != wantedBufferSeconds_) {
            open(QAudioDevice(device_), source_);
        }
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
    int nextRefillMs() {
        scatter_ = scatter_ * 1664525U + 1013904223U;
        return QtAudioOutput::kRefillMs - kRefillSpread +
               static_cast<int>((scatter_ >> 16) % (2 * kRefillSpread + 1));
    }

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
        if (!sink_ || io_ == nullptr || !writePending()) {
            return;
        }
        const qsizetype freeBytes = sink_->bytesFree();
        const auto frames = std::min<std::size_t>(
            static_cast<std::size_t>(std::max<qsizetype>(freeBytes, 0)) / kBytesPerFrame,
            samples_.size());
        // Every reading of the position counts, also when the device takes nothing this time.
        StreamPosition position;
        position.now = std::chrono::steady_clock::now().time_since_epoch();
        position.framesWritten = written_;
        position.framesQueued = (sink_->bufferSize() - freeBytes) / kBytesPerFrame;
        position.framesPlayed = sink_->processedUSecs() * rate_ / 1'000'000;
        source_->render(std::span(samples_.data(), frames), position);
        if (frames == 0) {
            return;
        }
        written_ += static_cast<std::int64_t>(frames);
        pendingFrom_ = 0;
        pendingTo_ = frames;
        if (!writePending()) {
            return;
        }
        if (!source_->resting()) {
            return;
        }
        if (bufferSeconds_ != wantedBufferSeconds_) {
            open(QAudioDevice(device_), source_);  // a new buffer length, while nothing sounds
            return;
        }
        // Only silence until woken: the stream is suspended with its buffer full (never let run
        // dry: an underrun could swallow the next sound), and nothing wakes this thread
        // meanwhile.
        timer_.stop();
        sink_->suspend();
        resting_ = true;
    }

    std::shared_ptr<QtAudioOutput::Shared> shared_;
    QTimer timer_{this};
    std::unique_ptr<QAudioSink> sink_;
    QIODevice* io_ = nullptr;
    SampleSource* source_ = nullptr;
    QAudioDevice device_;
    double wantedBufferSeconds_ = QtAudioOutput::kDefaultBufferSeconds;
    double bufferSeconds_ = 0;  // of the stream playing
    std::int64_t written_ = 0;
    qint64 rate_ = 48000;
    std::vector<std::int16_t> samples_;
    std::size_t pendingFrom_ = 0;  // frames of samples_ rendered but not yet taken
    std::size_t pendingTo_ = 0;
    bool resting_ = false;
    bool started_ = false;       // the device has played: an idle state from now on is running dry
    std::uint32_t scatter_ = 1;  // a small generator of the refill intervals
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

void QtAudioOutput::setBufferSeconds(double seconds) {
    QMetaObject::invokeMethod(
        worker_, [w = worker_, seconds] { w->setBufferSeconds(seconds); }, Qt::QueuedConnection);
}

int QtAudioOutput::underruns() const {
    return shared_->underruns.load(std::memory_order_relaxed);
}

QString QtAudioOutput::priority() const {
    const std::lock_guard lock(shared_->priorityLock);
    return shared_->priority;
}

}  // namespace platform
