#include "tone/monitor_player.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/qt_audio_output.h"
#include "tone/latency_follower.h"
#include "tone/wave_file.h"

namespace tone {
namespace {

constexpr int kPlaybackRatePerPitch = 4;
constexpr qint64 kLargestToneFile = 16 * 1024 * 1024;
constexpr std::int64_t kRetryFullMs = 5;  // the hand-over was full: try again this soon
// A change of latency that waits for the keyer to reach a word's end is looked at this often.
constexpr std::int64_t kFollowRecheckMs = 50;

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

MonitorPlayer::MonitorPlayer(QObject* parent, std::unique_ptr<platform::AudioOutput> audio,
                             std::unique_ptr<platform::AudioInput> radioInput)
    : QObject(parent),
      audio_(audio ? std::move(audio) : std::make_unique<platform::QtAudioOutput>()),
      radio_(this, std::move(radioInput)) {
    connect(&radio_, &RadioListener::estimateChanged, this, &MonitorPlayer::followRadio);
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &MonitorPlayer::pump);
}

MonitorPlayer::~MonitorPlayer() {
    audio_.reset();  // the audio thread stops before the source it reads goes
}

void MonitorPlayer::keyerStream(std::span<const keyer::StreamEvent> events, TimePoint forwardedAt) {
    mirror_.receive(events, forwardedAt + shift_);
    radio_.keyerStream(events, forwardedAt);
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
    radio_.keyerStream(std::span(&speed, 1), now());
    pump();
}

void MonitorPlayer::pump() {
    const TimePoint t = now();
    const TimePoint ahead = LatencyPlan::of(latencyMs_, source_.outputDelay()).handOverAhead;
    reportUnderruns();
    const bool followWaits = followRadio();
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

    std::optional<std::int64_t> waitMs;
    if (!unsent_.empty()) {
        waitMs = kRetryFullMs;
    } else if (const std::optional<TimePoint> next = mirror_.nextStart()) {
        waitMs = std::clamp<std::int64_t>(
            std::chrono::ceil<std::chrono::milliseconds>(*next - ahead - t).count(), 0,
            24 * 3600 * 1000);
    }
    if (followWaits) {
        waitMs = std::min(waitMs.value_or(kFollowRecheckMs), kFollowRecheckMs);
    }
    if (waitMs) {
        timer_.start(static_cast<int>(*waitMs));
    } else {
        timer_.stop();
    }
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
    radio_.keyerClosed(now());
    pump();
}

void MonitorPlayer::SetSound(int soundDeviceIndex, int pitch) {
    source_.setTone(loadToneFile(), static_cast<double>(kPlaybackRatePerPitch * pitch));
    if (device_ != soundDeviceIndex || !audio_->isPlaying()) {
        device_ = soundDeviceIndex;
        audio_->play(soundDeviceIndex, &source_);
        if (!radio_.inputId().isEmpty()) {
            listenToRadio(radio_.inputId(), radio_.givenPitch());  // it may hear itself now
        }
    }
}

QStringList MonitorPlayer::deviceDescriptions() const {
    return audio_->deviceDescriptions();
}

void MonitorPlayer::listenToRadio(const QString& inputId, std::optional<double> pitchHz) {
    radio_.listen(inputId, pitchHz, audio_->deviceId(device_.value_or(-1)));
}

bool MonitorPlayer::takeRadioDelay() {
    const auto e = radio_.estimate();
    if (!e) {
        return false;
    }
    const int ms = static_cast<int>(std::lround(e->delayMs));
    setLatency(ms);
    emit latencyFollowed(ms);
    return true;
}

void MonitorPlayer::setFollowRadio(bool follow) {
    follow_ = follow;
    followRadio();
}

// The latency follows the radio's delay only between words: a change while the keyer keys would
// open a gap wherever the logger's next text begins. Returns whether a change waits for the
// keyer to reach a word's end.
bool MonitorPlayer::followRadio() {
    if (!follow_) {
        return false;
    }
    const auto estimate = radio_.estimate();
    if (const auto ms = LatencyFollower::next(latencyMs_, estimate, mirror_.betweenWords(now()))) {
        setLatency(*ms);
        emit latencyFollowed(*ms);
        return false;
    }
    return LatencyFollower::next(latencyMs_, estimate, true).has_value();
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
