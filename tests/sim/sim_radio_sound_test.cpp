// The simulated radio on a real sound server: what its sink plays, recorded from the sink's
// monitor, against the radio's log (when it says each edge plays) and the keyer's key log.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "child_process.h"
#include "edge_reader.h"

namespace {

using namespace std::chrono_literals;
using radio_test::ChildProcess;
using radio_test::LoggedEdge;

constexpr int kRate = 48000;
constexpr double kDelayMs = 150;
constexpr double kSteppedMs = 300;

long long nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

long long fileSize(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : 0;
}

// When the recording's frames were played, on the monotonic clock. The null sink renders a
// block of frames when the first of them is due and its monitor hands the block out at once,
// so when the file is seen to have grown, its first new frame was played at about that moment,
// never later: each growth bounds "when frame 0 played, counting 48000 frames a second" from
// above. The sink's clock runs a few hundred ppm off the system's, so that moment drifts: the
// tightest bound of each quarter second is taken, and a line through them.
struct RecordingClock {
    std::vector<std::pair<double, double>> looks;  // (ns, frames in the file)
    double slope = 0;
    double offset = 0;  // frame 0 played at offset + slope * t, t in ns

    void look(const std::string& path) {
        looks.emplace_back(static_cast<double>(nowNs()), static_cast<double>(fileSize(path) / 2));
    }
    void fit() {
        std::vector<std::pair<double, double>> tightest;  // (t, bound) per quarter second
        for (std::size_t i = 1; i < looks.size(); ++i) {
            const double first = looks[i - 1].second;  // the first new frame
            if (looks[i].second <= first) {
                continue;
            }
            const double t = looks[i].first;
            const double bound = t - first * 1e9 / kRate;
            if (tightest.empty() || t - tightest.back().first > 250e6) {
                tightest.emplace_back(t, bound);
            } else if (bound < tightest.back().second) {
                tightest.back().second = bound;
            }
        }
        double mt = 0;
        double mb = 0;
        for (const auto& [t, b] : tightest) {
            mt += t / static_cast<double>(tightest.size());
            mb += b / static_cast<double>(tightest.size());
        }
        double num = 0;
        double den = 0;
        for (const auto& [t, b] : tightest) {
            num += (t - mt) * (b - mb);
            den += (t - mt) * (t - mt);
        }
        slope = den > 0 ? num / den : 0;
        offset = mb - slope * mt;
    }
    double playedNs(double frame) const {
        const double nominal = frame * 1e9 / kRate;  // t = offset + slope t + nominal
        return (offset + nominal) / (1 - slope);
    }
    double framesPerSecond() const { return kRate / (1 + slope / (1 - slope)); }
};

// Passes bytes between the logger's and the keyer's link, as a cable between them would.
struct Relay {
    int a = -1;
    int b = -1;
    bool open(const std::string& dir) {
        a = ::open((dir + "/COM16").c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        b = ::open((dir + "/COM17").c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        return a >= 0 && b >= 0;
    }
    ~Relay() {
        for (int fd : {a, b}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }
    void pass(int waitMs) {
        pollfd fds[2] = {{a, POLLIN, 0}, {b, POLLIN, 0}};
        ::poll(fds, 2, waitMs);
        char buffer[256];
        for (auto [from, to] : {std::pair{a, b}, std::pair{b, a}}) {
            const ssize_t n = ::read(from, buffer, sizeof buffer);
            if (n > 0 && ::write(to, buffer, static_cast<std::size_t>(n)) != n) {
                ADD_FAILURE() << "the relay lost bytes";
            }
        }
    }
};

TEST(SimulatedRadio, EachEdgeIsHeardWhenTheRadioSaysTheDelayAfterTheKeyer) {
    if (std::getenv("VANTREL_TEST_SOUND_SERVER") == nullptr) {
        GTEST_SKIP() << "needs the private sound server (scripts/with-sound-server.sh)";
    }
    char dirTemplate[] = "/tmp/vantrel-radio-XXXXXX";
    ASSERT_NE(::mkdtemp(dirTemplate), nullptr);
    const std::string dir = dirTemplate;
    const std::string heardFile = dir + "/heard.raw";

    ChildProcess recorder;
    ASSERT_TRUE(recorder.start({"parec", "--latency-msec=2", "-d", "cwtest2.monitor",
                                "--rate=48000", "--channels=1", "--format=s16le"},
                               heardFile, dir + "/parec.err"));
    // A null sink's monitor delivers a second or so after it is opened, and the first moments
    // come late: let it settle a second. Small fragments (2 ms) show each block of the sink
    // soon after it is rendered.
    for (int i = 0; i < 800 && fileSize(heardFile) <= 9600; ++i) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_GT(fileSize(heardFile), 9600) << "the recording does not flow";
    RecordingClock clock;
    for (int i = 0; i < 1000; ++i) {
        clock.look(heardFile);
        std::this_thread::sleep_for(1ms);
    }

    {
        std::ofstream script(dir + "/script.txt");
        script << "PARIS PARIS PARIS\n";
    }
    ChildProcess simulator;
    ASSERT_TRUE(simulator.start({VANTREL_SIM_PROGRAM,
                                 "--dir",
                                 dir,
                                 "--script",
                                 dir + "/script.txt",
                                 "--until-done",
                                 "--speed",
                                 "40",
                                 "--log",
                                 dir + "/traffic.log",
                                 "--key-log",
                                 dir + "/key.log",
                                 "--radio-sink",
                                 "cwtest2",
                                 "--radio-delay",
                                 "150",
                                 "--radio-step",
                                 "2:300",
                                 "--radio-log",
                                 dir + "/radio.log"},
                                dir + "/sim.out"));
    for (int i = 0; i < 300 && ::access((dir + "/COM17").c_str(), F_OK) != 0; ++i) {
        std::this_thread::sleep_for(10ms);
    }
    Relay relay;
    ASSERT_TRUE(relay.open(dir)) << radio_test::readFile(dir + "/sim.out");
    const long long giveUp = nowNs() + 20'000'000'000LL;
    while (simulator.running() && nowNs() < giveUp) {
        relay.pass(1);
        clock.look(heardFile);
    }
    ASSERT_EQ(simulator.exitCode(), 0) << radio_test::readFile(dir + "/sim.out");
    for (int i = 0; i < 200; ++i) {
        clock.look(heardFile);
        std::this_thread::sleep_for(1ms);
    }
    recorder.signal(SIGINT);
    recorder.waitFor(3000ms);

    const std::string raw = radio_test::readFile(heardFile);
    std::vector<std::int16_t> heard(raw.size() / 2);
    std::memcpy(heard.data(), raw.data(), heard.size() * 2);
    const auto keyed = radio_test::readEdgeLog(dir + "/key.log");
    const auto played = radio_test::readEdgeLog(dir + "/radio.log");

    // The radio plays every edge the keyer keyed, the delay later, never earlier; the step
    // between words. (An edge can come late when the sound stalls on a busy machine: the log
    // says so, and most edges keep their delay.)
    ASSERT_GT(keyed.size(), 20u);
    ASSERT_EQ(played.size(), keyed.size());
    std::size_t onTime = 0;
    std::size_t stepAt = 0;
    std::string delays;
    for (std::size_t i = 0; i < keyed.size(); ++i) {
        ASSERT_EQ(played[i].down, keyed[i].down) << i;
        const double delay = static_cast<double>(played[i].ns - keyed[i].ns) / 1e6;
        delays += " " + std::to_string(std::lround(delay));
        const bool first = std::abs(delay - kDelayMs) < 1;
        const bool stepped = std::abs(delay - kSteppedMs) < 1;
        onTime += first || stepped ? 1 : 0;
        EXPECT_GT(delay, kDelayMs - 1);
        if (stepped && stepAt == 0) {
            stepAt = i;
        }
        EXPECT_FALSE(stepAt != 0 && first) << "back to the first delay at " << i;
    }
    SCOPED_TRACE("delays:" + delays);
    EXPECT_GE(onTime * 10, keyed.size() * 9);
    ASSERT_GT(stepAt, 0u);
    EXPECT_TRUE(keyed[stepAt].down);
    EXPECT_GE(keyed[stepAt].ns - keyed[stepAt - 1].ns, 150'000'000LL) << "a step inside a word";

    // What the sink played, read on the recording's own clock.
    double full = 0;
    for (std::size_t n = 30; n < heard.size(); ++n) {
        full = std::max(full, std::hypot(heard[n], heard[n - 17]));
    }
    const auto edges = radio_test::heardEdges(heard, kRate, 700, full);
    ASSERT_EQ(edges.size(), played.size()) << "edges heard and played";
    clock.fit();
    std::vector<double> errors;
    for (std::size_t i = 0; i < edges.size(); ++i) {
        EXPECT_EQ(edges[i].down, played[i].down);
        errors.push_back((clock.playedNs(edges[i].frame) - static_cast<double>(played[i].ns)) /
                         1e6);
    }
    double mean = 0;
    for (double e : errors) {
        mean += e / static_cast<double>(errors.size());
    }
    double spread = 0;
    double worst = 0;
    for (double e : errors) {
        spread = std::max(spread, std::abs(e - mean));
        worst = std::max(worst, std::abs(e));
    }
    std::printf(
        "radio: %zu edges; the recording at %.1f frames/s (%+.0f ppm); heard minus "
        "logged: mean %+.2f ms, each within %.2f ms of the mean, worst %.2f ms\n",
        edges.size(), clock.framesPerSecond(), (clock.framesPerSecond() / kRate - 1) * 1e6, mean,
        spread, worst);
    // Within a generous bound: a radio that ignored the server's latency would be some 30 ms
    // off, one that placed edges on the block it happened to write some 5 ms apart.
    EXPECT_LT(spread, 5.0);
    EXPECT_LT(std::abs(mean), 5.0);
    if (std::getenv("KEEP") == nullptr) {
        std::filesystem::remove_all(dir);
    }
}

}  // namespace
