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
      monitor_({[this] { return readNumber(controls_.latencyText()); },
                [this] { return readNumber(controls_.speedText()); },
                [this] { return controls_.volume(); }},
               [this](const PlayedCharacter& c) { source_.post(c); }) {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(kTickMs);
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

void MonitorPlayer::wake() {
    if (monitor_.needsTicks() && !timer_.isActive()) {
        timer_.start();
    }
}

void MonitorPlayer::onTick() {
    monitor_.tick(Clock::now().time_since_epoch());
    if (!monitor_.needsTicks()) {
        timer_.stop();
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
