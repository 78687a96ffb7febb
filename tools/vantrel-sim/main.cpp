// vantrel-sim: a contest logger and a WinKeyer on two pseudo-terminal pairs, for trying Vantrel
// without a radio. The logger's end is linked as COM<app-port>, the keyer's as COM<keyer-port>;
// Vantrel opens both links. Every byte that crosses is logged in hex with a timestamp.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "byte_log.h"
#include "options.h"
#include "pty_pair.h"
#include "radio_delay.h"
#include "radio_output.h"
#include "sim_keyer.h"
#include "sim_logger.h"

namespace {

using namespace std::chrono_literals;
using sim::kUsage;
using sim::Options;

volatile std::sig_atomic_t stopRequested = 0;
void requestStop(int) {
    stopRequested = 1;
}

constexpr auto kPeerCheckEvery = 100ms;  // how often an unopened link is looked at

// Whether the program at the far end has the link open: a pty master reports a hang-up while
// nobody holds its slave.
bool peerPresent(int masterFd) {
    pollfd p{masterFd, POLLIN, 0};
    return ::poll(&p, 1, 0) >= 0 && (p.revents & POLLHUP) == 0;
}

class Simulation {
  public:
    Simulation(const Options& options, std::ostream& log, std::ostream* keyLog,
               sim::RadioOutput* radio)
        : options_(options),
          log_(log),
          keyLog_(keyLog),
          radio_(radio),
          start_(sim::Clock::now()),
          radioDelay_(delays::DelaySchedule(options.radio.delay, options.radio.steps), start_),
          application_(options.dir + "/COM" + std::to_string(options.appPort)),
          keyerLink_(options.dir + "/COM" + std::to_string(options.keyerPort)),
          logger_(options.speed) {}

    bool ok() const { return application_.ok() && keyerLink_.ok(); }
    std::string error() const {
        return application_.ok() ? keyerLink_.error() : application_.error();
    }
    sim::SimLogger& logger() { return logger_; }

    int run(bool readStdin);

  private:
    double seconds(sim::Time t) const { return std::chrono::duration<double>(t - start_).count(); }
    void note(sim::Time now, const std::string& text) {
        log_ << sim::noteLine(seconds(now), text) << std::endl;
    }
    void traffic(sim::Time now, const char* who, const std::string& bytes) {
        if (!bytes.empty()) {
            log_ << sim::logLine(seconds(now), who, bytes) << std::endl;
        }
    }
    void checkPeers(sim::Time now);
    void step(sim::Time now);
    bool readStdinLines();

    Options options_;
    std::ostream& log_;
    std::ostream* keyLog_;
    sim::RadioOutput* radio_;  // null without a radio
    sim::Time start_;
    sim::RadioDelay radioDelay_;
    PtyPair application_;
    PtyPair keyerLink_;
    sim::SimLogger logger_;
    sim::SimKeyer keyer_;
    bool applicationOpen_ = false;
    bool keyerOpen_ = false;
    bool reportedDone_ = false;
    std::string stdinLine_;
};

void Simulation::checkPeers(sim::Time now) {
    const bool application = peerPresent(application_.masterFd());
    if (application != applicationOpen_) {
        applicationOpen_ = application;
        note(now, std::string(application ? "opened: " : "closed: ") + "COM" +
                      std::to_string(options_.appPort) + " (the logger's port)");
        if (application) {
            logger_.connected(now);
        } else {
            logger_.disconnected();
        }
    }
    const bool keyer = peerPresent(keyerLink_.masterFd());
    if (keyer != keyerOpen_) {
        keyerOpen_ = keyer;
        note(now, std::string(keyer ? "opened: " : "closed: ") + "COM" +
                      std::to_string(options_.keyerPort) + " (the keyer's port)");
    }
}

void Simulation::step(sim::Time now) {
    if (applicationOpen_) {
        const std::string heard = application_.readAvailable();
        traffic(now, "logger gets", heard);
        const auto hadVersion = logger_.version();
        const std::string said = logger_.receive(heard, now);
        if (!hadVersion && logger_.version()) {
            note(now, "logger: keyer version " + std::to_string(*logger_.version()));
        }
        traffic(now, "logger sends", said);
        application_.writeAll(said);
    }
    const std::string heard = keyerOpen_ ? keyerLink_.readAvailable() : std::string();
    traffic(now, "keyer gets", heard);
    const std::string said = keyer_.receive(heard, now);
    // Nobody listens on an unopened line: what the keyer says then is lost, as on a cable.
    traffic(now, keyerOpen_ ? "keyer sends" : "keyer lost", said);
    if (keyerOpen_) {
        keyerLink_.writeAll(said);
    }
    for (const auto& edge : keyer_.takeKeyEdges()) {
        if (keyLog_ != nullptr) {
            *keyLog_ << std::chrono::nanoseconds(edge.at.time_since_epoch()).count()
                     << (edge.down ? " down" : " up") << std::endl;
        }
        if (radio_ != nullptr) {
            const auto unit = sim::spacingUnit(keyer_.speed(), keyer_.timing());
            radio_->key(radioDelay_.play(edge.at, edge.down, unit), edge.down);
        }
    }
    if (logger_.done() && !keyer_.nextDue() && !reportedDone_) {
        reportedDone_ = true;
        note(now, "logger: script done; keyed \"" + keyer_.keyed() + "\"");
    }
}

bool Simulation::readStdinLines() {
    char buffer[1024];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n <= 0) {
        return n < 0 && (errno == EAGAIN || errno == EINTR);
    }
    stdinLine_.append(buffer, static_cast<std::size_t>(n));
    for (std::size_t end; (end = stdinLine_.find('\n')) != std::string::npos;) {
        if (auto step = sim::parseStep(stdinLine_.substr(0, end))) {
            logger_.addStep(std::move(*step));
        }
        stdinLine_.erase(0, end + 1);
    }
    return true;
}

int Simulation::run(bool readStdin) {
    sigset_t blocked;
    sigset_t waiting;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGINT);
    sigaddset(&blocked, SIGTERM);
    sigaddset(&blocked, SIGHUP);
    sigprocmask(SIG_BLOCK, &blocked, &waiting);  // signals arrive only inside ppoll

    note(start_, "logger on " + application_.slaveName() + " as COM" +
                     std::to_string(options_.appPort) + ", keyer on " + keyerLink_.slaveName() +
                     " as COM" + std::to_string(options_.keyerPort) + " in " + options_.dir);
    while (stopRequested == 0) {
        const sim::Time now = sim::Clock::now();
        checkPeers(now);
        step(now);
        if (options_.untilDone && reportedDone_) {
            return 0;
        }

        std::optional<sim::Time> due;
        for (const auto& next : {logger_.nextDue(), keyer_.nextDue()}) {
            if (next && (!due || *next < *due)) {
                due = next;
            }
        }
        if (!applicationOpen_ || !keyerOpen_) {
            due = std::min(due.value_or(now + kPeerCheckEvery), now + kPeerCheckEvery);
        }
        std::vector<pollfd> fds;
        if (applicationOpen_) {
            fds.push_back({application_.masterFd(), POLLIN, 0});
        }
        if (keyerOpen_) {
            fds.push_back({keyerLink_.masterFd(), POLLIN, 0});
        }
        if (readStdin) {
            fds.push_back({STDIN_FILENO, POLLIN, 0});
        }
        timespec timeout{};
        if (due) {
            const auto left = std::max(std::chrono::nanoseconds(0), *due - sim::Clock::now());
            timeout.tv_sec = static_cast<time_t>(left.count() / 1'000'000'000);
            timeout.tv_nsec = static_cast<long>(left.count() % 1'000'000'000);
        }
        ::ppoll(fds.data(), fds.size(), due ? &timeout : nullptr, &waiting);
        if (readStdin && (fds.back().revents & (POLLIN | POLLHUP)) != 0) {
            readStdin = readStdinLines();
        }
    }
    note(sim::Clock::now(), "stopped");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        std::cout << kUsage;
        return 0;
    }
    const auto options = sim::parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!options) {
        std::cerr << kUsage;
        return 2;
    }
    std::ofstream logFile;
    if (!options->logFile.empty()) {
        logFile.open(options->logFile);
        if (!logFile) {
            std::cerr << "vantrel-sim: cannot write " << options->logFile << "\n";
            return 1;
        }
    }
    std::ostream& log = options->logFile.empty() ? std::cout : logFile;
    std::ofstream keyLog;
    if (!options->keyLogFile.empty()) {
        keyLog.open(options->keyLogFile);
        if (!keyLog) {
            std::cerr << "vantrel-sim: cannot write " << options->keyLogFile << "\n";
            return 1;
        }
    }

    std::ofstream radioLog;
    if (!options->radio.logFile.empty()) {
        radioLog.open(options->radio.logFile);
        if (!radioLog) {
            std::cerr << "vantrel-sim: cannot write " << options->radio.logFile << "\n";
            return 1;
        }
    }
    std::unique_ptr<sim::RadioOutput> radio;
    if (!options->radio.sink.empty()) {
        sim::RadioSoundSettings sound;
        sound.pitchHz = options->radio.pitchHz;
        sound.noiseDb = options->radio.noiseDb;
        sound.secondHz = options->radio.secondHz;
        radio = std::make_unique<sim::RadioOutput>(
            options->radio.sink, sound, options->radio.logFile.empty() ? nullptr : &radioLog);
        if (!radio->start()) {
            std::cerr << "vantrel-sim: cannot play into the sound sink " << options->radio.sink
                      << ": " << radio->error() << "\n";
            return 1;
        }
    }

    struct sigaction stop {};
    stop.sa_handler = requestStop;
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(signal, &stop, nullptr);
    }
    std::signal(SIGPIPE, SIG_IGN);

    Simulation simulation(*options, log, options->keyLogFile.empty() ? nullptr : &keyLog,
                          radio.get());
    if (!simulation.ok()) {
        std::cerr << "vantrel-sim: cannot make the links in " << options->dir << ": "
                  << simulation.error() << "\n";
        return 1;
    }
    bool readStdin = options->script.empty();
    if (!readStdin) {
        std::ifstream file(options->script);
        if (!file) {
            std::cerr << "vantrel-sim: cannot read " << options->script << "\n";
            return 1;
        }
        std::stringstream text;
        text << file.rdbuf();
        const auto steps = sim::parseScript(text.str());
        for (const auto& step : steps) {
            simulation.logger().addStep(step);
        }
        if (options->repeat) {
            simulation.logger().setRepeat(steps);
        }
    } else {
        fcntl(STDIN_FILENO, F_SETFL, fcntl(STDIN_FILENO, F_GETFL) | O_NONBLOCK);
    }
    const int code = simulation.run(readStdin);
    if (radio != nullptr && stopRequested == 0) {
        // The radio is still to play the last words: it lags the keyer by its delay.
        auto longest = options->radio.delay;
        for (const auto& step : options->radio.steps) {
            longest = std::max(longest, step.delay);
        }
        radio->finish(longest + 1s);
    }
    return code;
}
