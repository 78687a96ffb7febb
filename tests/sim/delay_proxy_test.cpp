// The delaying proxy: the rule that decides when bytes go on (pure), and the program on real
// sockets on 127.0.0.1 carrying every byte value both ways.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "child_process.h"
#include "delay_line.h"

namespace {

using namespace std::chrono_literals;
using delays::DelayLine;
using delays::Time;

Time at(std::chrono::milliseconds t) {
    return Time(t);
}

TEST(DelayLine, BytesGoOnTheDelayLaterUnchangedAndInOrderAcrossSteps) {
    // 100 ms; from 1 s on 300 ms; from 2 s on 50 ms.
    const delays::DelaySchedule schedule(100ms, {{1s, 300ms}, {2s, 50ms}});
    struct Case {
        std::chrono::milliseconds now;
        std::optional<std::string> arrives;
        std::string goesOut;
    } cases[] = {
        {0ms, "ab", ""},
        {99ms, std::nullopt, ""},
        {100ms, "c", "ab"},
        {200ms, std::nullopt, "c"},
        {1000ms, "d", ""},
        {1299ms, std::nullopt, ""},
        {1300ms, std::nullopt, "d"},
        {1990ms, "e", ""},  // due at 2290
        {2000ms, "f", ""},  // its own delay would let it go at 2050: it waits for e
        {2100ms, std::nullopt, ""},
        {2290ms, std::string("\x00\xff", 2), "ef"},  // both bytes at 2340
        {2340ms, std::nullopt, std::string("\x00\xff", 2)},
    };
    DelayLine line(schedule, at(0ms));
    for (const Case& c : cases) {
        if (c.arrives) {
            line.push(*c.arrives, at(c.now));
        }
        EXPECT_EQ(line.take(at(c.now)), c.goesOut) << c.now.count() << " ms";
    }
    EXPECT_TRUE(line.empty());
}

// A listening socket on 127.0.0.1 with a port of the system's choosing.
int listenAnywhere(int* port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 1) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size) != 0) {
        return -1;
    }
    *port = ntohs(a.sin_port);
    return fd;
}

int connectTo(int port) {
    for (int i = 0; i < 300; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<std::uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
            return fd;
        }
        ::close(fd);
        std::this_thread::sleep_for(10ms);
    }
    return -1;
}

// Reads until `count` bytes have come or a second has passed without any.
std::string readBytes(int fd, std::size_t count) {
    std::string got;
    char buffer[1024];
    while (got.size() < count) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 1000) <= 0) {
            break;
        }
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
}

long long nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

TEST(DelayProxyProgram, CarriesEveryByteValueBothWaysTheDelayLater) {
    int targetPort = 0;
    const int target = listenAnywhere(&targetPort);
    ASSERT_GE(target, 0);
    int freePort = 0;
    const int probe = listenAnywhere(&freePort);  // a port that was free a moment ago
    ::close(probe);
    char dirTemplate[] = "/tmp/vantrel-proxy-XXXXXX";
    ASSERT_NE(::mkdtemp(dirTemplate), nullptr);
    const std::string dir = dirTemplate;
    radio_test::ChildProcess proxy;
    ASSERT_TRUE(proxy.start(
        {DELAY_PROXY_PROGRAM, "--listen", std::to_string(freePort), "--connect",
         "127.0.0.1:" + std::to_string(targetPort), "--delay", "60", "--log", dir + "/proxy.log"},
        dir + "/proxy.out"));
    const int client = connectTo(freePort);
    ASSERT_GE(client, 0);
    const int far = ::accept(target, nullptr, nullptr);
    ASSERT_GE(far, 0);

    std::string all;
    for (int v = 0; v < 256; ++v) {
        all += static_cast<char>(v);
    }
    const long long sent = nowMs();
    // In pieces, as a serial line's bytes come.
    for (std::size_t i = 0; i < all.size(); i += 37) {
        const std::string piece = all.substr(i, 37);
        ASSERT_EQ(::write(client, piece.data(), piece.size()), static_cast<ssize_t>(piece.size()));
    }
    EXPECT_EQ(readBytes(far, all.size()), all);
    const long long arrived = nowMs();
    EXPECT_GE(arrived - sent, 60);
    const std::string back(all.rbegin(), all.rend());
    ASSERT_EQ(::write(far, back.data(), back.size()), static_cast<ssize_t>(back.size()));
    EXPECT_EQ(readBytes(client, back.size()), back);
    EXPECT_GE(nowMs() - arrived, 60);
    std::printf("proxy at 60 ms each way: up %lld ms, down %lld ms\n", arrived - sent,
                nowMs() - arrived);

    // The client's end reaches the far side once all has gone on.
    ::close(client);
    char c = 0;
    EXPECT_EQ(::read(far, &c, 1), 0);
    ::close(far);
    ::close(target);
    const std::string log = radio_test::readFile(dir + "/proxy.log");
    EXPECT_NE(log.find(" up in 00 01 02"), std::string::npos) << log;
    EXPECT_NE(log.find(" down out FF FE FD"), std::string::npos) << log;
    proxy.stop();
    std::filesystem::remove_all(dir);
}

TEST(DelayProxyProgram, RefusesAWrongCommandLine) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--listen", "7000"},
          {"--listen", "70000", "--connect", "127.0.0.1:7001"},
          {"--listen", "7000", "--connect", "7001"},
          {"--listen", "7000", "--connect", "127.0.0.1:7001", "--delay", "-3"},
          {"--listen", "7000", "--connect", "127.0.0.1:7001", "--step", "5"}}) {
        std::vector<std::string> command{DELAY_PROXY_PROGRAM};
        command.insert(command.end(), args.begin(), args.end());
        radio_test::ChildProcess proxy;
        ASSERT_TRUE(proxy.start(command, "/dev/null"));
        EXPECT_TRUE(proxy.waitFor(3000ms));
        EXPECT_EQ(proxy.exitCode(), 2) << testing::PrintToString(args);
    }
}

}  // namespace
