// Figures for the monitor: rendered edge accuracy, recorded timing of a 50-character message,
// the spread of the output latency, and CPU while playing and idle. Prints, never judges.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "tone/keying_reader.h"
#include "tone/monitor_player.h"
#include "tone/sidetone.h"
#include "tone/wave_file.h"

namespace {

constexpr int kRate = 48000;
const std::string kMessage = "CQ CQ TEST DE VANTREL VANTREL 599 TU QRZ PSE K 73 ";  // 50 characters

std::string codesOf(const std::string& text) {
    std::string codes;
    for (char c : text) {
        codes += std::to_string(static_cast<int>(c));
    }
    return codes;
}

// Runs the event loop until `done` or `ms`, looking every 10 ms; only the harness waits so.
void runFor(
    int ms, const std::function<bool()>& done = [] { return false; }) {
    QEventLoop loop;
    QElapsedTimer t;
    t.start();
    QTimer poll;
    poll.setTimerType(Qt::PreciseTimer);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || t.elapsed() >= ms) {
            loop.quit();
        }
    });
    poll.start(10);
    loop.exec();
}

double cpuSeconds() {
    rusage r{};
    getrusage(RUSAGE_SELF, &r);
    return r.ru_utime.tv_sec + r.ru_stime.tv_sec + (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

// Every key edge of the message rendered with a flat tone, against its scheduled frame.
void renderedEdges() {
    std::vector<tone::PlayedCharacter> played;
    tone::Monitor monitor({[] { return 0.0; }, [] { return 28.0; }, [] { return 0; }},
                          [&](const tone::PlayedCharacter& c) { played.push_back(c); });
    monitor.replaceQueue(codesOf(kMessage));
    std::chrono::milliseconds now{0};
    while (monitor.needsTicks()) {
        now += std::chrono::milliseconds(1);
        monitor.tick(now);
    }
    tone::ToneLoop flat{{std::vector<float>(64, 1.0F), 24000}, 24000};
    tone::Sidetone sidetone(kRate);
    sidetone.offerTone(&flat);
    std::vector<std::int64_t> scheduled;
    std::vector<std::int16_t> out;
    for (const auto& c : played) {
        // Characters reach the sidetone one at a time, as the monitor hands them over.
        const auto upTo = static_cast<std::size_t>(1000 + c.offset * kRate) - kRate / 100;
        if (upTo > out.size()) {
            std::vector<std::int16_t> block(upTo - out.size());
            sidetone.render(block);
            out.insert(out.end(), block.begin(), block.end());
        }
        sidetone.place(c, 1000);
        for (std::size_t i = 0; i < c.schedule.markCount; ++i) {
            const auto& m = c.schedule.marks[i];
            scheduled.push_back(1000 + std::llround((c.offset + m.start) * kRate));
            scheduled.push_back(1000 + std::llround((c.offset + m.start + m.length) * kRate));
        }
    }
    std::vector<std::int16_t> tail(kRate);
    sidetone.render(tail);
    out.insert(out.end(), tail.begin(), tail.end());
    std::vector<std::int64_t> found;
    for (std::size_t n = 1; n < out.size(); ++n) {
        const bool was = out[n - 1] >= 16384;
        const bool is = out[n] >= 16384;
        if (was != is) {
            found.push_back(static_cast<std::int64_t>(n));
        }
    }
    std::int64_t worst = 0;
    for (std::size_t i = 0; i < std::min(found.size(), scheduled.size()); ++i) {
        worst = std::max(worst, std::abs(found[i] - scheduled[i]));
    }
    std::printf("rendered edges: %zu scheduled, %zu found, worst error %lld samples\n",
                scheduled.size(), found.size(), static_cast<long long>(worst));
}

std::vector<std::int16_t> readWave(const QString& path) {
    QFile f(path);
    std::vector<std::int16_t> s;
    if (f.open(QIODevice::ReadOnly)) {
        const QByteArray b = f.readAll();
        if (auto w = tone::parseWave(
                std::string_view(b.constData(), static_cast<std::size_t>(b.size())))) {
            for (float v : w->samples) {
                s.push_back(static_cast<std::int16_t>(v * 32768));
            }
        }
    }
    return s;
}

struct Recorder {
    QProcess p;
    QString file;
    void start(const QString& path) {
        file = path;
        p.start("parecord", {"--latency-msec=10", "-d", "cwtest2.monitor", "--file-format=wav",
                             "--rate=48000", "--channels=1", "--format=s16le", path});
        p.waitForStarted();
        runFor(8000, [&] { return QFileInfo(file).size() > 9600; });
    }
    std::vector<std::int16_t> stop() {
        ::kill(static_cast<pid_t>(p.processId()), SIGINT);
        p.waitForFinished(3000);
        return readWave(file);
    }
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::printf("## Monitor benchmark\n");
    renderedEdges();

    if (qEnvironmentVariableIsEmpty("VANTREL_TEST_SOUND_SERVER")) {
        std::printf("no sound server: recorded figures skipped\n");
        return 0;
    }
    QTemporaryDir dir;
    QFile::copy(VANTREL_SOURCE_DIR "/assets/cw.wav", dir.filePath("cw.wav"));
    QDir::setCurrent(dir.path());
    QString speed = "28";
    tone::MonitorPlayer player(
        {[] { return QString("0"); }, [&] { return speed; }, [] { return 0; }});
    const int device = static_cast<int>(player.deviceDescriptions().indexOf("CWTestSink2"));
    player.SetSound(device, 6000);
    runFor(300);

    // Idle CPU: nothing queued.
    double c0 = cpuSeconds();
    runFor(3000);
    std::printf("CPU idle: %.2f%% of one core\n", (cpuSeconds() - c0) / 3 * 100);

    Recorder rec;
    rec.start(dir.filePath("message.wav"));
    c0 = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    player.replaceQueue(codesOf(kMessage));
    runFor(30000, [&] { return player.monitorQueue().empty() && !player.monitor().sendingBusy(); });
    const double playCpu = (cpuSeconds() - c0) / (wall.elapsed() / 1000.0) * 100;
    runFor(300);
    const auto heard = rec.stop();
    std::printf("CPU playing: %.2f%% of one core\n", playCpu);

    // Nominal keying of the message at 28 wpm, in units.
    const double unitMs = 1150.0 / 28;
    std::vector<tone::PlayedCharacter> plan;
    tone::Monitor nominal({[] { return 0.0; }, [] { return 28.0; }, [] { return 0; }},
                          [&](const tone::PlayedCharacter& c) { plan.push_back(c); });
    nominal.replaceQueue(codesOf(kMessage));
    std::chrono::milliseconds t{0};
    while (nominal.needsTicks()) {
        t += std::chrono::milliseconds(1);
        nominal.tick(t);
    }
    std::vector<double> edges;  // ms
    for (const auto& c : plan) {
        for (std::size_t i = 0; i < c.schedule.markCount; ++i) {
            edges.push_back((c.offset + c.schedule.marks[i].start) * 1000);
            edges.push_back((c.offset + c.schedule.marks[i].start + c.schedule.marks[i].length) *
                            1000);
        }
    }
    const auto st =
        keying::inner(keying::debounced(keying::stretches(heard, kRate, 600, 8000), 48));
    std::vector<double> got;
    for (const auto& s : st) {
        got.push_back(s.frames * 1000.0 / kRate);
    }
    double worst = 0;
    const std::size_t n = std::min(got.size(), edges.size() - 1);
    for (std::size_t i = 0; i < n; ++i) {
        worst = std::max(worst, std::abs(got[i] - (edges[i + 1] - edges[i])));
    }
    double total = 0;
    for (double g : got) {
        total += g;
    }
    const double nominalTotal = edges.back() - edges.front();
    std::printf(
        "recorded 50-char message: %zu stretches (nominal %zu), worst mark/space error %.3f ms, "
        "length %.2f ms vs nominal %.2f ms (%.4f%%), unit %.3f ms\n",
        got.size(), edges.size() - 1, worst, total, nominalTotal,
        (total - nominalTotal) / nominalTotal * 100, unitMs);

    // Latency spread: single E runs at known clock times; the onsets in the recording must keep
    // the same spacing. Differences give the spread of the latency, not its absolute value.
    rec.start(dir.filePath("latency.wav"));
    std::vector<double> requested;
    for (int i = 0; i < 30; ++i) {
        const auto before = std::chrono::steady_clock::now();
        player.replaceQueue("69");
        runFor(1000, [&] { return player.monitor().sendingBusy(); });
        (void)before;
        requested.push_back(std::chrono::duration<double, std::milli>(
                                std::chrono::steady_clock::now().time_since_epoch())
                                .count());
        runFor(250 + (i * 37) % 50);
    }
    runFor(300);
    const auto lat = rec.stop();
    std::vector<double> onsets;
    for (const auto& s : keying::debounced(keying::stretches(lat, kRate, 600, 8000), 48)) {
        if (s.keyed) {
            onsets.push_back(s.start * 1000.0 / kRate);
        }
    }
    if (onsets.size() == requested.size()) {
        std::vector<double> offsets;
        for (std::size_t i = 0; i < onsets.size(); ++i) {
            offsets.push_back((onsets[i] - onsets[0]) - (requested[i] - requested[0]));
        }
        const double mid = median(offsets);
        std::vector<double> dev;
        for (double o : offsets) {
            dev.push_back(std::abs(o - mid));
        }
        const auto [lo, hi] = std::minmax_element(offsets.begin(), offsets.end());
        std::printf(
            "latency spread over %zu runs: range %.2f ms, median absolute deviation %.2f ms; "
            "placement lead %.1f ms\n",
            offsets.size(), *hi - *lo, median(dev), tone::SidetoneSource::kLeadSeconds * 1000);
    } else {
        std::printf("latency: %zu onsets found for %zu runs\n", onsets.size(), requested.size());
    }
    return 0;
}
