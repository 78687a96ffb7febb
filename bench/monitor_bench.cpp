// Figures for the monitor: rendered edge accuracy, recorded timing of a 50-character message
// started after a long idle, the output latency and its spread, and CPU while playing and idle.
// Prints, never judges.
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

// Runs the event loop for `ms`; with `done`, only until it holds, looking every 10 ms. Only the
// harness waits so; without `done` nothing of the harness wakes meanwhile (idle CPU counts).
void runFor(int ms, const std::function<bool()>& done = {}) {
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    QTimer poll;
    if (done) {
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (done()) {
                loop.quit();
            }
        });
        poll.start(10);
    }
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
    runFor(3000);  // a new stream on an idle null sink starts about a second late

    // Nominal keying of the message at 28 wpm.
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
    const auto messageMs =
        static_cast<int>((plan.back().offset + plan.back().schedule.duration) * 1000);

    // Idle CPU: nothing queued (the stream rests once the silence has lasted a moment).
    double c0 = cpuSeconds();
    runFor(5000);
    std::printf("CPU idle: %.2f%% of one core (5 s)\n", (cpuSeconds() - c0) / 5 * 100);

    // The message, its first character after more than 5 s of idle. The harness sleeps through
    // it rather than polling, so that the CPU figure is the monitor's.
    Recorder rec;
    rec.start(dir.filePath("message.wav"));
    c0 = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    player.replaceQueue(codesOf(kMessage));
    runFor(messageMs + 100);
    const double playCpu = (cpuSeconds() - c0) / (wall.elapsed() / 1000.0) * 100;
    runFor(30000, [&] { return player.monitorQueue().empty() && !player.monitor().sendingBusy(); });
    std::printf("CPU playing: %.2f%% of one core (%.1f s)\n", playCpu, wall.elapsed() / 1000.0);
    std::printf("latency of the message's first character after the idle: %.2f ms\n",
                player.lastRunLatency() * 1000);
    runFor(300);
    const auto heard = rec.stop();

    std::vector<double> edges;  // ms
    for (const auto& c : plan) {
        for (std::size_t i = 0; i < c.schedule.markCount; ++i) {
            edges.push_back((c.offset + c.schedule.marks[i].start) * 1000);
            edges.push_back((c.offset + c.schedule.marks[i].start + c.schedule.marks[i].length) *
                            1000);
        }
    }
    const auto st = keying::marksAndSpaces(heard, kRate, 600, 8000, 48);
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

    // Output latency: single E runs, every other one after the stream has rested. Each run's
    // request is the tick that started it. The stream's position reports give the absolute
    // latency; the onsets in the recording, against the requests, give its spread independently
    // (the recording's clock offset is unknown, so only differences count).
    rec.start(dir.filePath("latency.wav"));
    runFor(1000);                   // the monitor recording settles in its first moments
    std::vector<double> requested;  // ms, monotonic clock
    std::vector<double> reported;   // ms, from the stream's position
    for (int i = 0; i < 30; ++i) {
        player.replaceQueue("69");
        runFor(1000, [&] { return player.monitor().sendingBusy(); });
        requested.push_back(
            std::chrono::duration<double, std::milli>(player.monitor().runStart()).count());
        runFor(250);
        reported.push_back(player.lastRunLatency() * 1000);
        // Odd runs follow while the stream still plays; even ones after it has rested.
        runFor(i == 14 ? 4000 : i % 2 == 0 ? 100 + (i * 37) % 50 : 600 + (i * 53) % 400);
    }
    runFor(300);
    const auto lat = rec.stop();
    const auto [rlo, rhi] = std::minmax_element(reported.begin(), reported.end());
    std::printf(
        "latency from the stream position over %zu runs: median %.2f ms, range %.2f .. "
        "%.2f ms\n",
        reported.size(), median(reported), *rlo, *rhi);
    std::vector<double> onsets;
    for (const auto& s : keying::marksAndSpaces(lat, kRate, 600, 8000, 48)) {
        if (s.keyed && s.frames >= static_cast<std::size_t>(kRate / 50)) {
            onsets.push_back(s.start * 1000.0 / kRate);
        }
    }
    if (onsets.size() != requested.size()) {
        std::printf("latency: %zu onsets found for %zu runs\n", onsets.size(), requested.size());
        return 0;
    }
    // Onset less request, relative to the first run. A straight line through them is the rate
    // at which the sink's sample clock and the monotonic clock part; the rest is the spread.
    const std::size_t runs = onsets.size();
    std::vector<double> x;
    std::vector<double> y;
    for (std::size_t i = 0; i < runs; ++i) {
        x.push_back((requested[i] - requested[0]) / 1000);
        y.push_back((onsets[i] - onsets[0]) - (requested[i] - requested[0]));
    }
    double mx = 0;
    double my = 0;
    for (std::size_t i = 0; i < runs; ++i) {
        mx += x[i] / static_cast<double>(runs);
        my += y[i] / static_cast<double>(runs);
    }
    double sxy = 0;
    double sxx = 0;
    for (std::size_t i = 0; i < runs; ++i) {
        sxy += (x[i] - mx) * (y[i] - my);
        sxx += (x[i] - mx) * (x[i] - mx);
    }
    const double slope = sxx > 0 ? sxy / sxx : 0;  // ms per second
    std::vector<double> residual;
    double afterRest = 0;
    double playing = 0;
    for (std::size_t i = 0; i < runs; ++i) {
        residual.push_back(y[i] - my - slope * (x[i] - mx));
        (i % 2 == 0 ? afterRest : playing) += residual.back() / static_cast<double>(runs / 2);
    }
    const auto spread = [](const std::vector<double>& v) {
        const auto [lo, hi] = std::minmax_element(v.begin(), v.end());
        const double mid = median(v);
        std::vector<double> dev;
        for (double o : v) {
            dev.push_back(std::abs(o - mid));
        }
        return std::pair{*hi - *lo, median(dev)};
    };
    std::vector<double> restedResidual;
    std::vector<double> playingResidual;
    for (std::size_t i = 0; i < runs; ++i) {
        (i % 2 == 0 ? restedResidual : playingResidual).push_back(residual[i]);
    }
    const auto [rawRange, rawMad] = spread(y);
    const auto [range, mad] = spread(residual);
    const auto [restedRange, restedMad] = spread(restedResidual);
    const auto [playingRange, playingMad] = spread(playingResidual);
    std::printf(
        "latency in the recording over %zu runs: range %.2f ms (median absolute deviation "
        "%.2f ms); the clocks part at %.0f ppm; without that drift: range %.2f ms (median "
        "absolute deviation %.2f ms); runs while playing: range %.2f ms (%.2f); runs "
        "after a rest: range %.2f ms (%.2f), on average %+.2f ms against runs while "
        "playing\n",
        runs, rawRange, rawMad, slope * 1000, range, mad, playingRange, playingMad, restedRange,
        restedMad, afterRest - playing);
    return 0;
}
