#pragma once

#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <csignal>
#include <cstdint>
#include <string_view>
#include <vector>

#include "tone/wave_file.h"

// Records what a sink of the private sound server plays, from its monitor source.
class SinkRecording {
  public:
    SinkRecording(const QString& sink, const QString& file) : file_(file) {
        process_.start("parecord",
                       {"--latency-msec=10", "-d", sink + ".monitor", "--file-format=wav",
                        "--rate=48000", "--channels=1", "--format=s16le", file});
        process_.waitForStarted();
    }
    // A null sink's monitor delivers only a second or so after a recorder attaches.
    bool flowing() const { return QFileInfo(file_).size() > 9600; }
    std::vector<std::int16_t> stop() {
        ::kill(static_cast<pid_t>(process_.processId()), SIGINT);
        process_.waitForFinished(3000);
        QFile f(file_);
        const QByteArray bytes = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        std::vector<std::int16_t> samples;
        if (const auto wave = tone::parseWave(
                std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())))) {
            for (float v : wave->samples) {
                samples.push_back(static_cast<std::int16_t>(v * 32768));
            }
        }
        return samples;
    }

  private:
    QProcess process_;
    QString file_;
};
