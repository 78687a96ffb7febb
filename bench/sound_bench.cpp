#include "bench/sound_bench.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <numbers>

#include "platform/qt_audio_output.h"
#include "tone/keying_reader.h"
#include "tone/monitor_player.h"
#include "tone/wave_file.h"

namespace bench {
namespace {

using keyer::StreamEvent;

std::vector<StreamEvent> events(const std::string& text, int wpm) {
    std::vector<StreamEvent> out{{StreamEvent::Kind::Speed, static_cast<std::uint8_t>(wpm)}};
    for (char c : text) {
        out.push_back({StreamEvent::Kind::Text, static_cast<std::uint8_t>(c)});
    }
    return out;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// A straight line through (x, y) by least squares; the residuals.
std::vector<double> residualsOfLine(const std::vector<double>& x, const std::vector<double>& y,
                                    double* slope) {
    const auto n = static_cast<double>(x.size());
    double mx = 0;
    double my = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        mx += x[i] / n;
        my += y[i] / n;
    }
    double sxy = 0;
    double sxx = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        sxy += (x[i] - mx) * (y[i] - my);
        sxx += (x[i] - mx) * (x[i] - mx);
    }
    *slope = sxx > 0 ? sxy / sxx : 0;
    std::vector<double> r;
    for (std::size_t i = 0; i < x.size(); ++i) {
        r.push_back(y[i] - my - *slope * (x[i] - mx));
    }
    return r;
}

std::vector<keying::Stretch> keyedStretches(const std::vector<std::int16_t>& heard) {
    // The tone at 0 dB: a half-scale sine; half its level marks key down.
    std::vector<keying::Stretch> out;
    for (const auto& s : keying::marksAndSpaces(heard, kRate, 600, 8000, kRate / 1000)) {
        if (s.keyed) {
            out.push_back(s);
        }
    }
    return out;
}

double frameMs(std::size_t frames) {
    return 1000.0 * static_cast<double>(frames) / kRate;
}

}  // namespace

tone::TimePoint now() {
    return std::chrono::steady_clock::now().time_since_epoch();
}

void runFor(int ms) {
    QEventLoop loop;  // a loaded machine can leave a wait already past: it then only turns once
    QTimer::singleShot(std::max(ms, 0), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

std::vector<tone::KeyMark> plan(const std::string& text, int wpm, tone::TimePoint arrival) {
    tone::KeyerMirror mirror(wpm);
    const auto e = events(text, wpm);
    mirror.receive(e, arrival);
    mirror.commitUntil(tone::kNever);
    std::vector<tone::KeyMark> marks;
    for (const auto& c : mirror.takeCommands()) {
        marks.push_back(c.mark);
    }
    return marks;
}

void keyText(tone::MonitorPlayer& player, const std::string& text, int wpm,
             tone::TimePoint forwardedAt) {
    player.keyerStream(events(text, wpm), forwardedAt);
}

Recorder::Recorder() {
    watch_.setInterval(500);
    QObject::connect(&watch_, &QTimer::timeout, [this] {
        growth_.emplace_back(toMs(now()) / 1000,
                             static_cast<double>(QFileInfo(file_).size() - 44) / 2);
    });
}

double Recorder::framesPerSecond() const {
    std::vector<double> x;
    std::vector<double> y;
    for (const auto& [t, frames] : growth_) {
        x.push_back(t);
        y.push_back(frames);
    }
    double slope = 0;
    if (x.size() > 10) {
        residualsOfLine(x, y, &slope);
    }
    return slope > 0 ? slope : kRate;
}

void Recorder::start(const QString& path, int latencyMs, const QString& sink) {
    file_ = path;
    growth_.clear();
    process_.start("parecord",
                   {QStringLiteral("--latency-msec=%1").arg(latencyMs), "-d", sink + ".monitor",
                    "--file-format=wav", "--rate=48000", "--channels=1", "--format=s16le", path});
    process_.waitForStarted();
    for (int i = 0; i < 800 && QFileInfo(file_).size() <= 9600; ++i) {
        runFor(10);  // a null sink's monitor delivers only a second or so after it is opened
    }
    runFor(500);
    watch_.start();
}

std::vector<std::int16_t> Recorder::stop() {
    watch_.stop();
    ::kill(static_cast<pid_t>(process_.processId()), SIGINT);
    process_.waitForFinished(5000);
    QFile f(file_);
    std::vector<std::int16_t> s;
    if (f.open(QIODevice::ReadOnly)) {
        const QByteArray b = f.readAll();
        if (auto w = tone::parseWave(
                std::string_view(b.constData(), static_cast<std::size_t>(b.size())))) {
            s.reserve(w->samples.size());
            for (float v : w->samples) {
                s.push_back(static_cast<std::int16_t>(v * 32768));
            }
        }
    }
    return s;
}

void report(const char* title, const std::vector<tone::KeyMark>& planned,
            const std::vector<std::int16_t>& heard) {
    const auto marks = keyedStretches(heard);
    std::size_t fragments = 0;
    for (const auto& m : marks) {
        fragments += frameMs(m.frames) < 25 ? 1 : 0;
    }
    std::printf("%s: %zu marks heard of %zu planned, %zu fragments shorter than 25 ms\n", title,
                marks.size(), planned.size(), fragments);
    if (marks.size() != planned.size() || marks.empty()) {
        return;
    }
    // Edges in the recording against their planned instants.
    std::vector<double> x;
    std::vector<double> y;
    double worstMark = 0;
    double worstSpace = 0;
    const double t0 = toMs(planned.front().start);
    for (std::size_t i = 0; i < marks.size(); ++i) {
        const double start = frameMs(marks[i].start);
        const double end = frameMs(marks[i].start + marks[i].frames);
        x.push_back(toMs(planned[i].start) - t0);
        y.push_back(start - x.back());
        x.push_back(toMs(planned[i].end) - t0);
        y.push_back(end - x.back());
        worstMark =
            std::max(worstMark, std::abs((end - start) - toMs(planned[i].end - planned[i].start)));
        if (i > 0) {
            const double space = start - frameMs(marks[i - 1].start + marks[i - 1].frames);
            worstSpace =
                std::max(worstSpace, std::abs(space - toMs(planned[i].start - planned[i - 1].end)));
        }
    }
    // The recording's offset and drift from the edges near the median, so that a late first
    // character and its catching up show as what they are instead of bending the line.
    const double offset = median(y);
    std::vector<double> nearX;
    std::vector<double> nearY;
    for (std::size_t i = 0; i < y.size(); ++i) {
        if (std::abs(y[i] - offset) < 5) {
            nearX.push_back(x[i]);
            nearY.push_back(y[i]);
        }
    }
    double slope = 0;
    const std::vector<double> nearR = residualsOfLine(nearX, nearY, &slope);
    const double base = nearY.front() - nearR.front() - slope * nearX.front();
    // The first character: its marks up to the first space longer than two dits.
    double dit = toMs(planned[0].end - planned[0].start);
    for (const tone::KeyMark& m : planned) {
        dit = std::min(dit, toMs(m.end - m.start));
    }
    std::size_t firstEdges = 2;
    while (firstEdges / 2 < planned.size() &&
           toMs(planned[firstEdges / 2].start - planned[firstEdges / 2 - 1].end) < 2 * dit) {
        firstEdges += 2;
    }
    std::vector<double> r;
    double firstLate = 0;
    for (std::size_t i = 0; i < y.size(); ++i) {
        const double v = y[i] - base - slope * x[i];
        if (i < firstEdges) {
            firstLate = std::max(firstLate, v);
        } else {
            r.push_back(std::abs(v));
        }
    }
    std::printf(
        "  each mark within %.2f ms and each space within %.2f ms of its planned length; the "
        "first character %.2f ms late; every later edge against its planned instant: median "
        "%.2f ms, worst %.2f ms (recording offset and a clock drift of %.0f ppm removed)\n",
        worstMark, worstSpace, firstLate, median(r),
        r.empty() ? 0 : *std::max_element(r.begin(), r.end()), slope * 1e6);
}

void reportOnsets(const std::vector<tone::KeyMark>& planned, const std::vector<bool>& rested,
                  const std::vector<std::int16_t>& heard) {
    const auto marks = keyedStretches(heard);
    if (marks.size() != planned.size()) {
        std::printf("onsets: %zu found for %zu characters\n", marks.size(), planned.size());
        return;
    }
    std::vector<double> x;
    std::vector<double> y;
    for (std::size_t i = 0; i < marks.size(); ++i) {
        x.push_back(toMs(planned[i].start - planned.front().start));
        y.push_back(frameMs(marks[i].start) - x.back());
    }
    double slope = 0;
    const std::vector<double> r = residualsOfLine(x, y, &slope);
    // The median of all is the recording's offset; each onset against it.
    const double mid = median(r);
    for (bool group : {false, true}) {
        std::vector<double> off;
        for (std::size_t i = 0; i < r.size(); ++i) {
            if (rested[i] == group) {
                off.push_back(r[i] - mid);
            }
        }
        std::vector<double> dev;
        for (double o : off) {
            dev.push_back(std::abs(o));
        }
        const auto [lo, hi] = std::minmax_element(off.begin(), off.end());
        std::printf(
            "onsets %s (%zu): against the planned instant median %.2f ms, worst %.2f ms, "
            "spread %.2f ms (offset of the recording and a drift of %.0f ppm removed)\n",
            group ? "after a rest" : "while playing", off.size(), median(dev),
            *std::max_element(dev.begin(), dev.end()), *hi - *lo, slope * 1e6);
    }
}

namespace {

constexpr double kDitMs = 40;  // at 30 wpm
constexpr double kDahMs = 120;
constexpr double kBrokenMs = 5;

// The keying of `marks` as a plain half-scale 600 Hz tone with 5 ms raised-cosine edges, from
// `origin` on: what a simple player would play, for a reference stream.
std::vector<std::int16_t> plainTone(const std::vector<tone::KeyMark>& marks,
                                    tone::TimePoint origin) {
    const double end = toMs(marks.back().end - origin) + 500;
    std::vector<std::int16_t> out(static_cast<std::size_t>(end * kRate / 1000));
    const double ramp = 0.005 * kRate;
    for (const tone::KeyMark& m : marks) {
        const double a = toMs(m.start - origin) * kRate / 1000;
        const double b = toMs(m.end - origin) * kRate / 1000;
        for (auto n = static_cast<std::size_t>(std::max(0.0, a - ramp / 2));
             n < out.size() && static_cast<double>(n) < b + ramp / 2; ++n) {
            const double x = static_cast<double>(n);
            const auto edge = [&](double d) {
                return d <= -ramp / 2 ? 0.0
                       : d >= ramp / 2
                           ? 1.0
                           : 0.5 - 0.5 * std::cos(std::numbers::pi * (d + ramp / 2) / ramp);
            };
            const double level = edge(x - a) * edge(b - x);
            out[n] = static_cast<std::int16_t>(
                std::lround(16384 * level * std::sin(2 * std::numbers::pi * 600 * x / kRate)));
        }
    }
    return out;
}

struct Wholeness {
    std::size_t heard = 0;
    std::size_t broken = 0;  // off both a dit and a dah by more than 5 ms
    std::size_t extra = 0;   // pieces more than planned
};

Wholeness wholeness(const std::vector<std::int16_t>& recording, std::size_t planned) {
    Wholeness w;
    for (const auto& m : keyedStretches(recording)) {
        const double length = frameMs(m.frames);
        ++w.heard;
        if (std::abs(length - kDitMs) > kBrokenMs && std::abs(length - kDahMs) > kBrokenMs) {
            ++w.broken;
        }
    }
    w.extra = w.heard > planned ? w.heard - planned : 0;
    return w;
}

}  // namespace

void loadedRun(tone::MonitorPlayer& player, const platform::QtAudioOutput& output, double seconds,
               const QString& dir) {
    QProcess stress;
    stress.setWorkingDirectory(dir);
    stress.start("stress-ng",
                 {"--cpu", "4", "--vm", "2", "--vm-bytes", "128M", "--hdd", "1", "--timeout",
                  QString::number(static_cast<int>(seconds) + 60) + "s", "--quiet"});
    if (!stress.waitForStarted()) {
        std::printf("stress-ng could not be started: no loaded run\n");
        return;
    }
    std::printf("audio thread: %s\n", qPrintable(output.priority()));
    runFor(5000);

    // The bursts, planned as the keyer keys them, and the reference stream rendered from them.
    std::string burst;
    for (int i = 0; i < 10; ++i) {
        burst += "PARIS ";
    }
    constexpr double kBurstEveryMs = 20000 + 3000;  // ten PARIS at 30 wpm, then a rest
    const int bursts = std::max(1, static_cast<int>(seconds * 1000 / kBurstEveryMs));
    // Far enough ahead for the reference to be rendered and written on a loaded machine.
    const tone::TimePoint t0 = now() + ms(3000 + 10 * seconds);
    std::vector<tone::KeyMark> planned;
    for (int b = 0; b < bursts; ++b) {
        const auto marks = plan(burst, 30, t0 + ms(b * kBurstEveryMs + latencyMs));
        planned.insert(planned.end(), marks.begin(), marks.end());
    }
    const std::vector<std::int16_t> reference = plainTone(planned, t0 + ms(latencyMs));
    QFile raw(dir + "/reference.raw");
    raw.open(QIODevice::WriteOnly);
    raw.write(reinterpret_cast<const char*>(reference.data()),
              static_cast<qint64>(reference.size() * sizeof(std::int16_t)));
    raw.close();

    Recorder ours;
    Recorder plain;
    ours.start(dir + "/loaded.wav", 50);
    plain.start(dir + "/reference.wav", 50, "cwtest");
    const auto underrunsBefore = player.underruns();
    const std::int64_t lateBefore = player.source().lateMarks();
    runFor(static_cast<int>(toMs(t0 - now())));
    QProcess pacat;
    pacat.start("pacat", {"--playback", "--latency-msec=100", "-d", "cwtest", "--rate=48000",
                          "--channels=1", "--format=s16le", "--raw", raw.fileName()});
    for (int b = 0; b < bursts; ++b) {
        const tone::TimePoint at = t0 + ms(b * kBurstEveryMs);
        runFor(static_cast<int>(std::max(0.0, toMs(at - now()))));
        keyText(player, burst, 30, at);
    }
    runFor(static_cast<int>(toMs(planned.back().end - now())) + 1000);
    const auto heard = ours.stop();
    const auto heardPlain = plain.stop();
    pacat.waitForFinished(5000);
    stress.terminate();
    stress.waitForFinished(10000);

    const Wholeness w = wholeness(heard, planned.size());
    const Wholeness r = wholeness(heardPlain, planned.size());
    std::printf(
        "loaded run: %.0f s, %d bursts of ten PARIS at 30 wpm, latency %.0f ms, "
        "stress-ng beside it\n",
        seconds, bursts, latencyMs);
    std::printf(
        "  Vantrel:   %zu marks heard of %zu, %zu broken, %zu extra pieces; underruns %d; "
        "marks late %lld; buffer at the end %.0f ms\n",
        w.heard, planned.size(), w.broken, w.extra,
        static_cast<int>(player.underruns() - underrunsBefore),
        static_cast<long long>(player.source().lateMarks() - lateBefore),
        player.bufferSeconds() * 1000);
    std::printf(
        "  reference: %zu marks heard of %zu, %zu broken, %zu extra pieces (a plain "
        "stream, 100 ms buffer)\n",
        r.heard, planned.size(), r.broken, r.extra);
    if (w.heard == planned.size()) {
        report("  Vantrel's edges", planned, heard);
    }
}

}  // namespace bench
