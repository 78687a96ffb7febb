#include "tone/monitor_player.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include "platform/number_text.h"
#include "platform/qt_audio_output.h"
#include "tone/wave_file.h"

namespace tone {
namespace {

constexpr int kTickMs = 1;
// How long before a character is over the next one goes to the audio thread: a tick this late
// still keeps the run seamless.
constexpr std::chrono::milliseconds kHandOverAhead{50};
constexpr int kPlaybackRatePerPitch = 4;
constexpr qint64 kLargestToneFile = 16 * 1024 * 1024;

double readNumber(const QString& text) {
    return numbers::leadingNumber(text.toStdString());
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

MonitorPlayer::MonitorPlayer(MonitorControls controls, QObject* parent,
                             std::unique_ptr<platform::AudioOutput> audio)
    : QObject(parent),
      controls_(std::move(controls)),
      audio_(audio ? std::move(audio) : std::make_unique<platform::QtAudioOutput>()),
      monitor_(
          {[this] { return readNumber(controls_.latencyText()); },
           [this] { return readNumber(controls_.speedText()); },
           [this] { return controls_.volume(); }},
          [this](const PlayedCharacter& c) {
              source_.post(c);
              audio_->wake();
          },
          [this](std::uint64_t run, double offset) {
              source_.withdraw(run, offset);
              audio_->wake();
          },
          kHandOverAhead) {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &MonitorPlayer::onTick);
}

MonitorPlayer::~MonitorPlayer() {
    audio_.reset();  // the audio thread stops before the source it reads goes
}

void MonitorPlayer::replaceQueue(std::string codes) {
    monitor_.replaceQueue(std::move(codes));
    wake();
}

void MonitorPlayer::appendToQueue(std::string_view codes) {
    monitor_.appendToQueue(codes);
    wake();
}

void MonitorPlayer::clearQueue() {
    monitor_.clearQueue();
    wake();  // a character already handed over ahead is withdrawn at once
}

void MonitorPlayer::wake() {
    schedule();
}

void MonitorPlayer::onTick() {
    monitor_.tick(Clock::now().time_since_epoch());
    schedule();
}

// Ticks every millisecond while the latency is counted; during a run only when the monitor
// has something to do, so a playing monitor wakes a few times per character, not 1000 a second.
void MonitorPlayer::schedule() {
    if (!monitor_.needsTicks()) {
        timer_.stop();
        return;
    }
    int ms = kTickMs;
    if (const std::optional<TimePoint> due = monitor_.nextTickDue()) {
        const auto wait = *due - Clock::now().time_since_epoch();
        ms = static_cast<int>(
            std::max<std::int64_t>(0, std::chrono::ceil<std::chrono::milliseconds>(wait).count()));
    }
    if (!timer_.isActive() || ms < timer_.remainingTime()) {
        timer_.start(ms);
    }
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

QStringList MonitorPlayer::toneFileCandidates() {
    const QString name = QStringLiteral("cw.wav");
    const QDir program(QCoreApplication::applicationDirPath());
    return {QDir::current().filePath(name), program.filePath(name),
            program.filePath(QStringLiteral(VANTREL_DATA_SUBDIR "/") + name)};
}

}  // namespace tone
