#pragma once

#include <QProcess>
#include <QString>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tone/keyer_mirror.h"

namespace platform {
class QtAudioOutput;
}
namespace tone {
class MonitorPlayer;
}

// What the sound benchmarks share: planning, keying, recording the null sink and comparing.
namespace bench {

inline constexpr int kRate = 48000;
// The operator's latency (bench_monitor --latency MS); the output's buffer follows it.
inline double latencyMs = 300;

inline tone::TimePoint ms(double v) {
    return tone::TimePoint(static_cast<std::int64_t>(std::llround(v * 1e6)));
}
inline double toMs(tone::TimePoint t) {
    return static_cast<double>(t.count()) / 1e6;
}
tone::TimePoint now();
// Runs the event loop for `ms` milliseconds; nothing of the harness wakes meanwhile.
void runFor(int ms);

// The marks a keyer at `wpm` keys for `text` arriving at `arrival`.
std::vector<tone::KeyMark> plan(const std::string& text, int wpm, tone::TimePoint arrival);
// Hands the monitor `text` at `wpm` as if forwarded to the keyer at `forwardedAt`.
void keyText(tone::MonitorPlayer& player, const std::string& text, int wpm,
             tone::TimePoint forwardedAt);

// Records what the second test sink plays.
class Recorder {
  public:
    Recorder();
    // Records the monitor of `sink` (the second test sink unless told).
    void start(const QString& path, int latencyMs = 10, const QString& sink = "cwtest2");
    std::vector<std::int16_t> stop();
    // The recording's own frame rate against the monotonic clock, from how its file grew: a sound
    // server's clock may run apart from the system's by hundreds of ppm.
    double framesPerSecond() const;

  private:
    QProcess process_;
    QString file_;
    QTimer watch_;
    std::vector<std::pair<double, double>> growth_;  // (monotonic s, frames in the file)
};

// Compares the recorded keying with the marks planned: counts, each mark and space, each edge
// against its planned instant (the recording's constant offset and its clock's drift removed).
void report(const char* title, const std::vector<tone::KeyMark>& planned,
            const std::vector<std::int16_t>& heard);
// Onsets of single characters against their planned instants, for those after a rest and the
// others.
void reportOnsets(const std::vector<tone::KeyMark>& planned, const std::vector<bool>& rested,
                  const std::vector<std::int16_t>& heard);
// Ten PARIS at 30 wpm, again and again with a rest of 3 s between (the stream rests then), for
// `seconds` while stress-ng loads the machine; beside it, in the same run, the same keying as a
// plain stream with a 100 ms buffer into the first test sink. Both are recorded; marks heard,
// broken and late, and underruns are printed for each.
void loadedRun(tone::MonitorPlayer& player, const platform::QtAudioOutput& output, double seconds,
               const QString& dir);

}  // namespace bench
