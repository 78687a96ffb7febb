// Figures for the monitor's sound: rendered edge accuracy; a message recorded from the null sink
// against its plan; the onset of single characters against their planned instants, while the
// stream plays and after it has rested; CPU while playing and idle. With --loaded SECONDS:
// continuous keying at 30 wpm recorded while stress-ng loads the machine (dropouts, each mark and
// space against the plan, underruns). --latency MS sets the latency (300 ms). Prints, never judges.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/sound_bench.h"
#include "platform/qt_audio_output.h"
#include "tone/keyer_mirror.h"
#include "tone/monitor_player.h"
#include "tone/sidetone_renderer.h"

namespace {

using bench::ms;
using tone::TimePoint;

const std::string kMessage = "CQ CQ TEST DE VANTREL VANTREL 599 TU QRZ PSE K 73 ";  // 50 characters

double cpuSeconds() {
    rusage r{};
    getrusage(RUSAGE_SELF, &r);
    return static_cast<double>(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
           static_cast<double>(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

// Every key edge of the message rendered with a flat tone, against the frame of its time.
void renderedEdges() {
    const std::vector<tone::KeyMark> marks = bench::plan(kMessage, 28, ms(100));
    tone::ToneLoop flat{{std::vector<float>(64, 1.0F), 24000}, 24000, 1};
    tone::SidetoneRenderer sidetone(bench::kRate);
    sidetone.offerTone(&flat);
    const std::optional<tone::FrameClock> clock = tone::FrameClock{TimePoint{}, 0, bench::kRate};
    std::vector<std::int16_t> out;
    std::size_t handed = 0;
    const auto end =
        static_cast<std::size_t>(bench::kRate * (bench::toMs(marks.back().end) + 500) / 1000);
    while (out.size() < end) {
        // Marks reach the sidetone in small groups, 150 ms ahead, as the monitor hands them over.
        const double nowMs = 1000.0 * static_cast<double>(out.size()) / bench::kRate;
        for (; handed < marks.size() && bench::toMs(marks[handed].start) < nowMs + 150; ++handed) {
            sidetone.apply({tone::SidetoneCommand::Kind::Mark, marks[handed]}, clock);
        }
        std::vector<std::int16_t> block(480);
        sidetone.render(block, clock, 1, tone::fromSeconds(nowMs / 1000));
        out.insert(out.end(), block.begin(), block.end());
    }
    std::vector<double> found;
    for (std::size_t n = 1; n < out.size(); ++n) {
        if ((out[n - 1] >= 16384) != (out[n] >= 16384)) {
            found.push_back(static_cast<double>(n));
        }
    }
    double worst = 0;
    for (std::size_t i = 0; i < std::min(found.size(), 2 * marks.size()); ++i) {
        const tone::KeyMark& m = marks[i / 2];
        const double want = bench::toMs(i % 2 == 0 ? m.start : m.end) * bench::kRate / 1000;
        // A falling edge is found on the first frame below half level.
        worst = std::max(worst, std::abs(found[i] - want - (i % 2 == 0 ? 0 : 1)));
    }
    std::printf("rendered edges: %zu planned, %zu found, worst %.1f samples off their frame\n",
                2 * marks.size(), found.size(), worst);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int loaded = args.indexOf("--loaded");
    if (const int at = args.indexOf("--latency"); at >= 0) {
        bench::latencyMs = args.value(at + 1).toDouble();
    }

    std::printf("## Monitor benchmark\n");
    if (loaded < 0) {
        renderedEdges();
    }
    if (qEnvironmentVariableIsEmpty("VANTREL_TEST_SOUND_SERVER")) {
        std::printf("no sound server: recorded figures skipped\n");
        return 0;
    }
    QTemporaryDir dir;
    QFile::copy(VANTREL_SOURCE_DIR "/assets/cw.wav", dir.filePath("cw.wav"));
    QDir::setCurrent(dir.path());
    auto* output = new platform::QtAudioOutput;
    tone::MonitorPlayer player(nullptr, std::unique_ptr<platform::AudioOutput>(output));
    player.setVolume(0);
    player.setLatency(bench::latencyMs);
    const int device = static_cast<int>(player.deviceDescriptions().indexOf("CWTestSink2"));
    player.SetSound(device, 6000);
    bench::runFor(3000);  // a new stream on an idle null sink starts about a second late
    std::printf("audio thread: %s; latency %.0f ms; output delay %.1f ms\n",
                qPrintable(output->priority()), bench::latencyMs,
                player.source().outputDelay() * 1000);

    if (loaded >= 0) {
        const double seconds = args.value(loaded + 1).toDouble();
        bench::loadedRun(player, *output, seconds > 0 ? seconds : 600, dir.path());
        return 0;
    }

    // Idle CPU: nothing to key (the stream rests once the silence has lasted a moment). The
    // first seconds still hold the first stream's start, which stands still on an idle sink and
    // is watched closely meanwhile, and its reopening for the buffer the server grants.
    double c0 = cpuSeconds();
    bench::runFor(5000);
    std::printf("CPU idle: %.2f%% of one core (the 5 s after the first 3)\n",
                (cpuSeconds() - c0) / 5 * 100);
    c0 = cpuSeconds();
    bench::runFor(5000);
    std::printf("CPU idle: %.2f%% of one core (the 5 s after that)\n",
                (cpuSeconds() - c0) / 5 * 100);

    // The message, its first character after more than 10 s of idle; the harness sleeps through
    // it, so that the CPU figure is the monitor's.
    bench::Recorder rec;
    rec.start(dir.filePath("message.wav"));
    const TimePoint t0 = bench::now() + ms(50);
    const auto marks = bench::plan(kMessage, 28, t0 + ms(bench::latencyMs));
    c0 = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    bench::keyText(player, kMessage, 28, t0);
    bench::runFor(static_cast<int>(bench::toMs(marks.back().end - bench::now())) + 300);
    std::printf("CPU playing: %.2f%% of one core (%.1f s)\n",
                (cpuSeconds() - c0) / (static_cast<double>(wall.elapsed()) / 1000) * 100,
                static_cast<double>(wall.elapsed()) / 1000);
    bench::report("recorded 50-character message at 28 wpm after 10 s idle", marks, rec.stop());

    // Single characters: every other one while the stream still plays, the others after it has
    // rested. Each is planned at an instant; its onset in the recording is compared with it.
    rec.start(dir.filePath("onsets.wav"));
    // The recording settles first (its first moments come late), and the stream rests.
    bench::runFor(2500);
    std::vector<tone::KeyMark> singles;
    std::vector<bool> rested;
    for (int i = 0; i < 40; ++i) {
        const TimePoint at = bench::now() + ms(20);
        bench::keyText(player, "E", 28, at);
        singles.push_back(bench::plan("E", 28, at + ms(bench::latencyMs)).front());
        rested.push_back(i % 2 == 0);
        bench::runFor(i % 2 == 0 ? 180 + (i * 37) % 60 : 2300 + (i * 53) % 500);
    }
    bench::runFor(300);
    bench::reportOnsets(singles, rested, rec.stop());
    return 0;
}
