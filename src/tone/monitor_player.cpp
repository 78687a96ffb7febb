#include "tone/monitor_player.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/qt_audio_output.h"
#include "tone/wave_file.h"

namespace tone {
namespace {

constexpr int kPlaybackRatePerPitch = 4;
constexpr qint64 kLargestToneFile = 16 * 1024 * 1024;
constexpr int kRetryFullMs = 5;  // the hand-over was full: try again this soon

TimePoint now() {
    return Clock::now().time_since_epoch();
}

std::optional<ToneSample> loadToneFile() {
    for (const QString& path : MonitorPlayer::toneFileCandidates()) {
        QFile file(path);
        if (!file.exists()) {
            continue;
        }
        if (!file.open(QIODevice::ReadOnly) || file.size() > kLargestToneFile) {
            return std::nullopt;
        }
        const QByteArray bytes = file.readAll();
        return parseWave(
            std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    }
    return std::nullopt;
}

}  // namespace

MonitorPlayer::MonitorPlayer(QObject* parent, std::unique_ptr<platform::AudioOutput> audio)
    : QObject(parent),
      audio_(audio ? std::move(audio) : std::make_unique<platform::QtAudioOutput>()) {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &MonitorPlayer::pump);
}

MonitorPlayer::~MonitorPlayer() {
    audio_.reset();  // the audio thread stops before the source it reads goes
}

void MonitorPlayer::keyerStream(std::span<const keyer::StreamEvent> events, TimePoint forwardedAt) {
    mirror_.receive(events, forwardedAt + shift_);
    pump();
}

void MonitorPlayer::test() {
    const TimePoint t = now();
    mirror_.replaceWith("TEST", t, t + shift_);
    pump();
}

void MonitorPlayer::setLatency(double milliseconds) {
    latencyMs_ = milliseconds;
    const LatencyPlan plan = LatencyPlan::of(latencyMs_, std::numeric_limits<double>::quiet_NaN());
    shift_ = plan.shift;
    source_.setLatencyBuffer(plan.bufferSeconds);
}

void MonitorPlayer::setVolume(int hundredthsOfDb) {
    source_.setVolume(hundredthsOfDb);
}

void MonitorPlayer::setSpeed(int wpm) {
    const keyer::StreamEvent speed{keyer::StreamEvent::Kind::Speed,
                                   static_cast<std::uint8_t>(std::clamp(wpm, 5, 99))};
    mirror_.receive(std::span(&speed, 1), now());
    pump();
}

void MonitorPlayer::pump() {
    const TimePoint t = now();
    const TimePoint ahead = LatencyPlan::of(latencyMs_, source_.outputDelay()).handOverAhead;
    reportUnderruns();
    mirror_.commitUntil(t + ahead);
    for (SidetoneCommand& c : mirror_.takeCommands()) {
        unsent_.push_back(c);
    }
    bool posted = false;
    while (!unsent_.empty() && source_.post(unsent_.front())) {
        unsent_.pop_front();
        posted = true;
    }
    if (posted) {
        audio_->wake();
    }
    mirror_.forget(t);

    if (!unsent_.empty()) {
        timer_.start(kRetryFullMs);
        return;
    }
    const std::optional<TimePoint> next = mirror_.nextStart();
    if (!next) {
        timer_.stop();
        return;
    }
    const TimePoint wait = *next - ahead - t;
    timer_.start(static_cast<int>(std::clamp<std::int64_t>(
        std::chrono::ceil<std::chrono::milliseconds>(wait).count(), 0, 24 * 3600 * 1000)));
}

// An underrun is a fault worth a bug report: said once each, with the buffer the output goes on
// with.
void MonitorPlayer::reportUnderruns() {
    const std::int64_t underruns = source_.underruns();
    if (underruns > underrunsReported_) {
        underrunsReported_ = underruns;
        qWarning(
            "sidetone: the sound output ran out of sound (%lld times so far; buffer %.0f ms, "
            "longer from the next pause)",
            static_cast<long long>(underruns), source_.bufferInUse() * 1000);
    }
}

void MonitorPlayer::keyerClosed() {
    mirror_.stop(now());
    pump();
}

void MonitorPlayer::SetSound(int soundDeviceIndex, int pitch) {
    source_.setTone(loadToneFile(), static_cast<double>(kPlaybackRatePerPitch * pitch));
    if (device_ != soundDeviceIndex || !audio_->isPlaying()) {
        device_ = soundDeviceIndex;
        audio_->play(soundDeviceIndex, &source_);
    }
}

QStringList MonitorPlayer::deviceDescriptions() const {
    return audio_->deviceDescriptions();
}

QString MonitorPlayer::soundProblem() const {
    if (audio_->deviceDescriptions().isEmpty()) {
        return QStringLiteral(
            "No sound output was found, so the sidetone is silent. Check that the sound server "
            "(PulseAudio or PipeWire) is running, then choose an output under Sound.");
    }
    if (!audio_->isPlaying()) {
        return QStringLiteral(
            "The sound output could not be opened, so the sidetone is silent. Choose another "
            "output under Sound.");
    }
    return {};
}

std::string MonitorPlayer::pendingText() const {
    return mirror_.pendingText(now());
}

bool MonitorPlayer::busy() const {
    return mirror_.busy(now());
}

QStringList MonitorPlayer::toneFileCandidates() {
    const QString name = QStringLiteral("cw.wav");
    const QDir program(QCoreApplication::applicationDirPath());
    return {QDir::current().filePath(name), program.filePath(name),
            program.filePath(QStringLiteral(VANTREL_DATA_SUBDIR "/") + name)};
}

}  // namespace tone
