// Fidelity: is the sidetone a delayed copy of what the keyer keys? The simulated logger plays a
// session into the real Vantrel window over pseudo-terminals; the simulated keyer logs every
// key edge as it keys it; the sidetone is recorded from the null sink. Each keyed mark is
// matched with a heard one after the latency: marks heard that the keyer did not key, marks
// keyed that were not heard, and each edge against the keyer's timeline (the recording's
// constant offset removed). Then one session at latency 100 and at 1000 in one recording: the
// two must be heard 900 ms apart. Prints, never judges.
#include <QApplication>
#include <QAudioDevice>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMediaDevices>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bench/sound_bench.h"
#include "bridge/port_naming.h"
#include "platform/message_boxes.h"
#include "platform/qt_serial_port.h"
#include "shell/main_window.h"
#include "tone/keying_reader.h"

namespace {

struct Mark {
    double start;  // ms
    double end;
};

// Nobody clicks OK here; the one message a session brings, the ports lost when the simulator
// ends, is expected.
struct NoMessages final : platform::MessageBoxes {
    void inform(const QString&) override {}
    void warn(const QString&, const QString&) override {}
    void askYesNo(const QString&, std::function<void(bool)> answer) override { answer(false); }
};

std::vector<Mark> keyedMarks(const QString& keyLog) {
    QFile f(keyLog);
    std::vector<Mark> marks;
    if (!f.open(QIODevice::ReadOnly)) {
        return marks;
    }
    QTextStream in(&f);
    double down = -1;
    while (!in.atEnd()) {
        const QStringList parts = in.readLine().split(' ');
        if (parts.size() != 2) {
            continue;
        }
        const double ms = parts[0].toDouble() / 1e6;
        if (parts[1] == "down") {
            down = ms;
        } else if (down >= 0) {
            marks.push_back({down, ms});
            down = -1;
        }
    }
    return marks;
}

// The marks in a recording, in ms of the monotonic clock when the recording's own rate is given.
std::vector<Mark> heardMarks(const std::vector<std::int16_t>& samples,
                             double framesPerSecond = bench::kRate) {
    std::vector<Mark> marks;
    for (const auto& s : keying::marksAndSpaces(samples, bench::kRate, 600, 8000, 48)) {
        if (s.keyed) {
            marks.push_back({1000.0 * static_cast<double>(s.start) / framesPerSecond,
                             1000.0 * static_cast<double>(s.start + s.frames) / framesPerSecond});
        }
    }
    return marks;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Matches keyed marks with heard ones `offset` ms later (within 30 ms of their start); returns
// the offset refined over the matches and the edge differences from it.
struct Matching {
    std::size_t matched = 0;
    std::size_t extra = 0;    // heard, not keyed
    std::size_t missing = 0;  // keyed, not heard
    double offset = 0;
    std::vector<double> residuals;  // ms, every edge of every matched mark
};

Matching match(const std::vector<Mark>& keyed, const std::vector<Mark>& heard, double offset) {
    Matching m;
    std::vector<std::pair<const Mark*, const Mark*>> pairs;
    std::vector<bool> used(heard.size());
    for (const Mark& k : keyed) {
        const Mark* best = nullptr;
        std::size_t at = 0;
        for (std::size_t i = 0; i < heard.size(); ++i) {
            if (!used[i] && std::abs(heard[i].start - (k.start + offset)) < 30 &&
                (best == nullptr || std::abs(heard[i].start - k.start - offset) <
                                        std::abs(best->start - k.start - offset))) {
                best = &heard[i];
                at = i;
            }
        }
        if (best != nullptr) {
            used[at] = true;
            pairs.emplace_back(&k, best);
        } else {
            ++m.missing;
        }
    }
    m.matched = pairs.size();
    m.extra = heard.size() - pairs.size();
    std::vector<double> d;
    for (const auto& [k, h] : pairs) {
        d.push_back(h->start - k->start);
        d.push_back(h->end - k->end);
    }
    m.offset = median(d);
    for (double v : d) {
        m.residuals.push_back(std::abs(v - m.offset));
    }
    return m;
}

class Session {
  public:
    Session(const QString& dir, const QString& simulator) : dir_(dir), simulator_(simulator) {}

    // Plays `script` through Vantrel at `latencyMs`; the keyer's marks.
    std::vector<Mark> play(const QString& script, int latencyMs) {
        QDir(dir_).remove("keys.txt");
        writeSettings(latencyMs);
        const auto device = [](int number) { return bridge::devicePathForPort(number); };
        platform::QtSerialPort application(device);
        platform::QtSerialPort keyer(device);
        NoMessages messages;
        auto window = std::make_unique<shell::MainWindow>(
            shell::MainWindowParts{application, keyer, messages});
        bench::runFor(1500);  // the sound stream settles
        QProcess sim;
        sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // The simulator keeps its keyer port until the sidetone has played what it keyed: a
        // keyer port that goes away ends what the monitor still keys.
        const QString lingering = withTail(script, latencyMs);
        sim.start(simulator_, {"--dir", dir_, "--script", lingering, "--until-done", "--key-log",
                               dir_ + "/keys.txt", "--log", dir_ + "/traffic.log"});
        for (int i = 0; i < 100 && !QFileInfo::exists(dir_ + "/COM17"); ++i) {
            bench::runFor(20);
        }
        window->findChild<QPushButton*>("Command1")->click();
        for (int i = 0; i < 360000 && sim.state() != QProcess::NotRunning; ++i) {
            bench::runFor(10);
        }
        bench::runFor(500);
        window.reset();
        return keyedMarks(dir_ + "/keys.txt");
    }

  private:
    // A copy of `script` that waits the latency and a second more once everything is keyed.
    QString withTail(const QString& script, int latencyMs) {
        QFile in(script);
        in.open(QIODevice::ReadOnly);
        const QString path = dir_ + "/session.txt";
        QFile out(path);
        out.open(QIODevice::WriteOnly);
        out.write(in.readAll());
        out.write(
            QStringLiteral("\n@idle\n@wait %1\n").arg((latencyMs + 1000) / 1000.0).toLatin1());
        return path;
    }

    void writeSettings(int latencyMs) {
        QFile ini(dir_ + "/VanTrel.ini");
        int device = 0;
        const QList<QAudioDevice> outputs = QMediaDevices::audioOutputs();
        for (int i = 0; i < outputs.size(); ++i) {
            device = outputs[i].description() == "CWTestSink2" ? i : device;
        }
        ini.open(QIODevice::WriteOnly);
        ini.write(QStringLiteral("16\r\n17\r\n0 \r\n 28 \r\n%1\r\n %2 \r\n 6000 \r\n")
                      .arg(latencyMs)
                      .arg(device)
                      .toLatin1());
    }

    QString dir_;
    QString simulator_;
};

void report(const char* name, const std::vector<Mark>& keyed, const std::vector<Mark>& heard,
            double latencyMs) {
    if (keyed.empty() || heard.empty()) {
        std::printf("%-8s: %zu marks keyed, %zu heard: nothing to compare\n", name, keyed.size(),
                    heard.size());
        return;
    }
    // A first guess of the offset from the first marks, refined over all matches.
    Matching m = match(keyed, heard, heard.front().start - keyed.front().start);
    m = match(keyed, heard, m.offset);
    std::printf(
        "%-8s: %3zu marks keyed, %3zu heard; heard not keyed %zu, keyed not heard %zu; each edge "
        "against the keyer's + latency: median %.2f ms, worst %.2f ms\n",
        name, keyed.size(), heard.size(), m.extra, m.missing, median(m.residuals),
        m.residuals.empty() ? 0 : *std::max_element(m.residuals.begin(), m.residuals.end()));
    (void)latencyMs;
}

// A long session as an operator types it: words trickled in as typed, a whole message now and
// then, and rests of 1 to 30 s between them (seeded, so every run plays the same session).
QString longSession(double seconds, const QString& dir) {
    static const char* const kWords[] = {"CQ",  "TEST", "DE",  "K1ABC", "5NN", "TU",  "QRZ",
                                         "599", "UR",   "RST", "NAME",  "OP",  "73",  "AGN",
                                         "PSE", "K",    "BK",  "R",     "FB",  "QTH", "WX"};
    std::uint32_t seed = 12345;
    const auto next = [&seed](std::uint32_t n) {
        seed = seed * 1664525U + 1013904223U;
        return (seed >> 8) % n;
    };
    QString script = QStringLiteral("@speed 24\n@seed 3\n");
    double planned = 0;  // a rough running length, to end near `seconds`
    while (planned < seconds) {
        QString words;
        const std::uint32_t count = 1 + next(4);
        for (std::uint32_t i = 0; i < count; ++i) {
            words += QString::fromLatin1(kWords[next(std::size(kWords))]) + ' ';
        }
        const bool message = next(5) == 0;
        script += (message ? QString() : QStringLiteral("@trickle ")) + words.trimmed() + '\n';
        const double rest = 1 + next(30);
        script += QStringLiteral("@wait %1\n").arg(rest);
        planned += rest + 0.5 * static_cast<double>(words.size());
    }
    script += QStringLiteral("@idle\n");
    const QString path = dir + "/long.txt";
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(script.toLatin1());
    return path;
}

// Edge errors over a long session, minute by minute: does the sidetone drift against the keyer?
void reportDrift(const std::vector<Mark>& keyed, const std::vector<Mark>& heard) {
    if (keyed.empty() || heard.empty()) {
        std::printf("long: nothing to compare (%zu keyed, %zu heard)\n", keyed.size(),
                    heard.size());
        return;
    }
    Matching m = match(keyed, heard, heard.front().start - keyed.front().start);
    m = match(keyed, heard, m.offset);
    std::printf("long: %zu marks keyed, %zu heard; heard not keyed %zu, keyed not heard %zu\n",
                keyed.size(), heard.size(), m.extra, m.missing);
    // Each keyed mark's start against its nearest heard start at the refined offset.
    std::vector<double> x;
    std::vector<double> y;
    // Marks beyond 3 ms, one line per run of them: where it began, after how long a silence.
    struct Beyond {
        double at = 0;
        double gapBefore = 0;
        int marks = 0;
        double worst = 0;
    };
    std::optional<Beyond> beyond;
    const auto flush = [&beyond] {
        if (beyond) {
            std::printf(
                "  beyond 3 ms: %d marks from %d:%04.1f (keyed %.0f ms after the one "
                "before), worst %+.2f ms\n",
                beyond->marks, static_cast<int>(beyond->at / 60000),
                std::fmod(beyond->at, 60000) / 1000, beyond->gapBefore, beyond->worst);
            beyond.reset();
        }
    };
    for (std::size_t i = 0; i < keyed.size(); ++i) {
        const Mark& k = keyed[i];
        const double gapBefore = i == 0 ? 0 : k.start - keyed[i - 1].end;
        const Mark* best = nullptr;
        for (const Mark& h : heard) {
            if (best == nullptr || std::abs(h.start - k.start - m.offset) <
                                       std::abs(best->start - k.start - m.offset)) {
                best = &h;
            }
        }
        if (std::abs(best->start - k.start - m.offset) < 30) {
            x.push_back((k.start - keyed.front().start) / 60000);
            y.push_back(best->start - k.start - m.offset);
            x.push_back((k.end - keyed.front().start) / 60000);
            y.push_back(best->end - k.end - m.offset);
            const double error =
                std::abs(y.back()) > std::abs(y[y.size() - 2]) ? y.back() : y[y.size() - 2];
            if (std::abs(error) <= 3) {
                flush();
            } else {
                if (!beyond) {
                    beyond = Beyond{k.start - keyed.front().start, gapBefore, 0, 0};
                }
                ++beyond->marks;
                beyond->worst = std::abs(error) > std::abs(beyond->worst) ? error : beyond->worst;
            }
        }
    }
    flush();
    double worst = 0;
    for (double v : y) {
        worst = std::max(worst, std::abs(v));
    }
    const double minutes = x.back();
    for (int minute = 0; minute <= static_cast<int>(minutes); ++minute) {
        std::vector<double> in;
        for (std::size_t i = 0; i < x.size(); ++i) {
            if (x[i] >= minute && x[i] < minute + 1) {
                in.push_back(y[i]);
            }
        }
        if (!in.empty()) {
            std::printf("  minute %2d: %3zu edges, median %+.2f ms, worst %+.2f / %+.2f ms\n",
                        minute, in.size(), median(in), *std::min_element(in.begin(), in.end()),
                        *std::max_element(in.begin(), in.end()));
        }
    }
    double slope = 0;
    {
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
        slope = sxx > 0 ? sxy / sxx : 0;
    }
    std::printf(
        "long: %.1f min, every edge within %.2f ms of the offset; fitted drift %+.3f ms a "
        "minute\n",
        minutes, worst, slope);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    std::printf("## Fidelity benchmark\n");
    if (qEnvironmentVariableIsEmpty("VANTREL_TEST_SOUND_SERVER")) {
        std::printf("no sound server: skipped\n");
        return 0;
    }
    QTemporaryDir dir;
    QFile::copy(VANTREL_SOURCE_DIR "/assets/cw.wav", dir.filePath("cw.wav"));
    QDir::setCurrent(dir.path());
    Session session(dir.path(), VANTREL_SIMULATOR);
    const QString sessions = VANTREL_SOURCE_DIR "/bench/sessions/";
    constexpr int kLatency = 300;

    if (const int at = app.arguments().indexOf("--long"); at >= 0) {
        const double seconds = app.arguments().value(at + 1).toDouble();
        const int latency =
            app.arguments().contains("--latency")
                ? app.arguments().value(app.arguments().indexOf("--latency") + 1).toInt()
                : kLatency;
        bench::Recorder rec;
        rec.start(dir.filePath("long.wav"));
        const auto keyed =
            session.play(longSession(seconds > 0 ? seconds : 600, dir.path()), latency);
        const std::vector<std::int16_t> heard = rec.stop();
        const double rate = rec.framesPerSecond();
        std::printf("the recording's clock: %+.0f ppm against the monotonic clock\n",
                    (rate / bench::kRate - 1) * 1e6);
        std::printf("as recorded (48000 frames a second):\n");
        reportDrift(keyed, heardMarks(heard));
        std::printf("on the monotonic clock (the recording's own rate):\n");
        reportDrift(keyed, heardMarks(heard, rate));
        return 0;
    }

    for (const char* name : {"startup", "trickle", "clear", "paced"}) {
        bench::Recorder rec;
        rec.start(dir.filePath("heard.wav"));
        const auto keyed = session.play(sessions + name + ".txt", kLatency);
        report(name, keyed, heardMarks(rec.stop()), kLatency);
    }

    // The same session at two latencies, in one recording: the offset between what the keyer
    // keyed and what was heard must differ by the difference of the latencies.
    bench::Recorder rec;
    rec.start(dir.filePath("latency.wav"));
    const auto at100 = session.play(sessions + "paced.txt", 100);
    const auto at1000 = session.play(sessions + "paced.txt", 1000);
    const auto heard = heardMarks(rec.stop());
    const std::size_t split = at100.size();
    if (heard.size() != at100.size() + at1000.size()) {
        std::printf("latency 100 and 1000: %zu marks heard for %zu keyed\n", heard.size(),
                    at100.size() + at1000.size());
        return 0;
    }
    const std::vector<Mark> first(heard.begin(), heard.begin() + static_cast<long>(split));
    const std::vector<Mark> second(heard.begin() + static_cast<long>(split), heard.end());
    const Matching m100 = match(at100, first, first.front().start - at100.front().start);
    const Matching m1000 = match(at1000, second, second.front().start - at1000.front().start);
    std::printf(
        "latency 100 and 1000 ms: heard %.2f ms apart (want 900), edges within %.2f / %.2f ms\n",
        m1000.offset - m100.offset, *std::max_element(m100.residuals.begin(), m100.residuals.end()),
        *std::max_element(m1000.residuals.begin(), m1000.residuals.end()));
    return 0;
}
