// Measures the serial relay over pseudo-terminals: how long a burst from the logger takes to
// reach the keyer, how fast keyer replies come back, and what the relay costs in CPU.
//
//   relay_bench [--bursts N] [--soak SECONDS]
//
// The relay runs on this program's main thread exactly as in the application; the logger and
// the keyer are played from a second thread on the far ends of two pseudo-terminals.
#include <QCoreApplication>
#include <QDir>
#include <QMetaObject>
#include <QTemporaryDir>

#include <poll.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bridge/port_naming.h"
#include "bridge/relay.h"
#include "platform/qt_serial_port.h"
#include "pty_pair.h"

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

class PrintedMessages final : public platform::MessageBoxes {
  public:
    void inform(const QString& text) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
    void warn(const QString&, const QString& text) override { inform(text); }
    void askYesNo(const QString& text, std::function<void(bool)> answer) override {
        inform(text);
        answer(false);
    }
};

// Waits until `count` bytes have come from a far end; returns them (fewer on time-out).
std::string receive(PtyPair& far, std::size_t count, int timeoutMs = 5000) {
    std::string got;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (got.size() < count && Clock::now() < deadline) {
        pollfd p{far.masterFd(), POLLIN, 0};
        ::poll(&p, 1, 5);
        got += far.readAvailable();
    }
    return got;
}

struct Stats {
    double median, worst, best;
};

Stats summarise(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return {samples[samples.size() / 2], samples.back(), samples.front()};
}

// CPU seconds used by the relay's thread, read on that thread.
double relayCpuSeconds(QCoreApplication& app) {
    double seconds = 0;
    QMetaObject::invokeMethod(
        &app,
        [&] {
            rusage usage{};
            getrusage(RUSAGE_THREAD, &usage);
            seconds = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
                      (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
        },
        Qt::BlockingQueuedConnection);
    return seconds;
}

// Random traffic both ways at the given paces; returns whether every byte arrived unchanged
// and in order. Measures the relay's CPU share over the run.
bool steadyTraffic(QCoreApplication& app, PtyPair& logger, PtyPair& keyer, double seconds,
                   double* cpuShare) {
    std::mt19937 random(42);
    std::string toKeyer, toLogger, atKeyer, atLogger;
    const auto start = Clock::now();
    const double cpuStart = relayCpuSeconds(app);
    auto nextApp = start;
    auto nextKeyer = start;
    const auto appPace = std::chrono::microseconds(10500);   // just under one byte per 10 ms
    const auto keyerPace = std::chrono::microseconds(8333);  // 120 bytes/s, 1200 baud
    while (msSince(start) < seconds * 1000) {
        const auto now = Clock::now();
        if (now >= nextApp) {
            const std::string b(1, static_cast<char>(random()));
            logger.writeAll(b);
            toKeyer += b;
            nextApp += appPace;
        }
        if (now >= nextKeyer) {
            const std::string b(1, static_cast<char>(random()));
            keyer.writeAll(b);
            toLogger += b;
            nextKeyer += keyerPace;
        }
        pollfd p[2] = {{keyer.masterFd(), POLLIN, 0}, {logger.masterFd(), POLLIN, 0}};
        ::poll(p, 2, 1);
        atKeyer += keyer.readAvailable();
        atLogger += logger.readAvailable();
    }
    const double cpu = relayCpuSeconds(app) - cpuStart;
    *cpuShare = cpu / msSince(start) * 1000;
    atKeyer += receive(keyer, toKeyer.size() - atKeyer.size(), 3000);
    atLogger += receive(logger, toLogger.size() - atLogger.size(), 1000);
    const bool same = atKeyer == toKeyer && atLogger == toLogger;
    std::printf("  %zu bytes to the keyer, %zu to the logger: %s\n", toKeyer.size(),
                toLogger.size(), same ? "all arrived unchanged and in order" : "MISMATCH");
    return same;
}

void run(QCoreApplication& app, PtyPair& logger, PtyPair& keyer, int bursts, int soakSeconds) {
    std::printf(
        "Application -> keyer: burst of n bytes, first byte sent -> whole burst at the "
        "keyer (%d bursts each)\n",
        bursts);
    std::printf("  %5s %10s %10s %10s %10s\n", "n", "nominal", "median", "best", "worst");
    for (const int n : {1, 7, 101}) {
        std::vector<double> samples;
        for (int i = 0; i < bursts; ++i) {
            const std::string burst(static_cast<std::size_t>(n), 'E');
            const auto start = Clock::now();
            logger.writeAll(burst);
            if (receive(keyer, burst.size()).size() != burst.size()) {
                std::printf("  burst lost\n");
                return;
            }
            samples.push_back(msSince(start));
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        const Stats s = summarise(samples);
        std::printf("  %5d %8d ms %7.2f ms %7.2f ms %7.2f ms\n", n, std::min(n, 100) * 10, s.median,
                    s.best, s.worst);
    }

    std::printf("Keyer -> application: one byte, sent -> at the logger (200 bytes)\n");
    std::vector<double> replies;
    for (int i = 0; i < 200; ++i) {
        const auto start = Clock::now();
        keyer.writeAll("\xC4");
        if (receive(logger, 1).size() != 1) {
            std::printf("  reply lost\n");
            return;
        }
        replies.push_back(msSince(start));
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const Stats r = summarise(replies);
    std::printf("  median %.3f ms, best %.3f ms, worst %.3f ms\n", r.median, r.best, r.worst);

    std::printf("CPU of the relay's thread\n");
    double share = 0;
    steadyTraffic(app, logger, keyer, 10, &share);
    std::printf("  steady traffic both ways (95 B/s and 120 B/s): %.2f %% of one core\n",
                share * 100);
    const double idleStart = relayCpuSeconds(app);
    std::this_thread::sleep_for(std::chrono::seconds(5));
    std::printf("  idle with both ports open: %.3f %% of one core\n",
                (relayCpuSeconds(app) - idleStart) / 5 * 100);

    if (soakSeconds > 0) {
        std::printf("Soak: %d s of random bytes both ways\n", soakSeconds);
        steadyTraffic(app, logger, keyer, soakSeconds, &share);
    }
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int bursts = 200;
    int soakSeconds = 0;
    for (int i = 1; i + 1 < argc; ++i) {
        const std::string flag = argv[i];
        if (flag == "--bursts") {
            bursts = std::max(1, std::atoi(argv[++i]));
        } else if (flag == "--soak") {
            soakSeconds = std::atoi(argv[++i]);
        }
    }

    QTemporaryDir folder;
    const QDir dir(folder.path());
    PtyPair logger(dir.filePath("COM1").toStdString());
    PtyPair keyer(dir.filePath("COM2").toStdString());
    const auto device = [&](int n) { return bridge::devicePathForPort(n, dir); };
    platform::QtSerialPort applicationPort(device);
    platform::QtSerialPort keyerPort(device);
    if (!logger.ok() || !keyer.ok() ||
        !applicationPort.open(1, *platform::parseLineSettings("19200,N,8,1")) ||
        !keyerPort.open(2, *platform::parseLineSettings("1200,N,8,1"))) {
        std::fprintf(stderr, "could not set up the ports\n");
        return 1;
    }
    PrintedMessages messages;
    bridge::Relay relay(applicationPort, keyerPort, messages);

    std::thread far([&] {
        run(app, logger, keyer, bursts, soakSeconds);
        QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
    });
    const int result = QCoreApplication::exec();
    far.join();
    return result;
}
