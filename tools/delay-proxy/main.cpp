// delay-proxy: a TCP proxy on 127.0.0.1 (or any address) that holds each direction's bytes
// for a delay that can step during the run, and passes them on unchanged and in order.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "delay_line.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;
void requestStop(int) {
    stopRequested = 1;
}

const char* const kUsage =
    "usage: delay-proxy --listen [HOST:]PORT --connect HOST:PORT [--delay MS]\n"
    "                   [--step AT_S:MS]... [--log FILE]\n"
    "\n"
    "Takes one connection at a time on --listen, connects it to --connect, and passes the\n"
    "bytes of each direction on MS milliseconds after they came (default 0), unchanged and in\n"
    "order. --step AT_S:MS makes the delay MS from AT_S seconds after the proxy started (may\n"
    "be given more than once); when the delay gets shorter, bytes still wait for the ones\n"
    "before them. --log FILE writes every chunk as it comes and goes:\n"
    "'<ns> up|down in|out HEX', the time in nanoseconds of the monotonic clock; 'up' is from\n"
    "the listening side to the connected one.\n";

struct Address {
    std::string host = "127.0.0.1";
    int port = 0;
};

std::optional<Address> parseAddress(const std::string& text, bool hostNeeded) {
    Address a;
    const auto colon = text.rfind(':');
    if (colon != std::string::npos) {
        a.host = text.substr(0, colon);
    } else if (hostNeeded) {
        return std::nullopt;
    }
    const std::string port = colon == std::string::npos ? text : text.substr(colon + 1);
    if (port.empty() || port.size() > 5 ||
        port.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    a.port = std::stoi(port);
    sockaddr_in probe{};
    if (a.port < 1 || a.port > 65535 || inet_pton(AF_INET, a.host.c_str(), &probe.sin_addr) != 1) {
        return std::nullopt;
    }
    return a;
}

sockaddr_in socketAddress(const Address& a) {
    sockaddr_in s{};
    s.sin_family = AF_INET;
    s.sin_port = htons(static_cast<std::uint16_t>(a.port));
    inet_pton(AF_INET, a.host.c_str(), &s.sin_addr);
    return s;
}

long long ns(delays::Time t) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
}

std::string hex(const std::string& bytes) {
    std::string out;
    char text[4];
    for (unsigned char c : bytes) {
        std::snprintf(text, sizeof text, "%s%02X", out.empty() ? "" : " ", c);
        out += text;
    }
    return out;
}

// Writes all of `bytes`, waiting for room as needed; false when the peer is gone.
bool sendAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{fd, POLLOUT, 0};
            ::poll(&p, 1, 100);
        } else {
            return false;
        }
    }
    return true;
}

class Proxy {
  public:
    Proxy(const delays::DelaySchedule& schedule, std::ostream* log)
        : schedule_(schedule), log_(log), start_(delays::Clock::now()) {}

    // One connection, from its accept to its end; returns when both sides are done.
    void serve(int client, const Address& target);

  private:
    void note(const char* way, const char* what, const std::string& bytes) {
        if (log_ != nullptr) {
            *log_ << ns(delays::Clock::now()) << ' ' << way << ' ' << what << ' ' << hex(bytes)
                  << std::endl;
        }
    }

    delays::DelaySchedule schedule_;
    std::ostream* log_;
    delays::Time start_;
};

void Proxy::serve(int client, const Address& target) {
    const int server = ::socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in to = socketAddress(target);
    if (::connect(server, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
        std::cerr << "delay-proxy: cannot connect to " << target.host << ":" << target.port << ": "
                  << std::strerror(errno) << "\n";
        ::close(server);
        ::close(client);
        return;
    }
    const int one = 1;
    for (int fd : {client, server}) {
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    struct Way {
        const char* name;
        int from;
        int to;
        delays::DelayLine line;
        bool open = true;  // `from` still sends
    };
    Way ways[2] = {{"up", client, server, delays::DelayLine(schedule_, start_)},
                   {"down", server, client, delays::DelayLine(schedule_, start_)}};
    // Until both senders have closed and everything they sent has gone on.
    while (stopRequested == 0 &&
           (ways[0].open || ways[1].open || !ways[0].line.empty() || !ways[1].line.empty())) {
        std::optional<delays::Time> due;
        for (const Way& w : ways) {
            if (const auto d = w.line.due(); d && (!due || *d < *due)) {
                due = d;
            }
        }
        pollfd fds[2] = {{ways[0].open ? client : -1, POLLIN, 0},
                         {ways[1].open ? server : -1, POLLIN, 0}};
        int wait = -1;
        if (due) {
            const auto left = *due - delays::Clock::now();
            wait = static_cast<int>(
                std::max<long long>(0, std::chrono::ceil<std::chrono::milliseconds>(left).count()));
        }
        ::poll(fds, 2, wait);
        for (int i = 0; i < 2; ++i) {
            Way& w = ways[i];
            if (!w.open || (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
                continue;
            }
            char buffer[4096];
            const ssize_t n = ::read(w.from, buffer, sizeof buffer);
            if (n > 0) {
                const std::string bytes(buffer, static_cast<std::size_t>(n));
                note(w.name, "in", bytes);
                w.line.push(bytes, delays::Clock::now());
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                w.open = false;  // what it sent still goes on; then the other side hears the end
            }
        }
        for (Way& w : ways) {
            const std::string out = w.line.take(delays::Clock::now());
            if (!out.empty()) {
                note(w.name, "out", out);
                if (!sendAll(w.to, out)) {
                    w.open = false;
                    ways[&w == &ways[0] ? 1 : 0].open = false;
                }
            }
            if (!w.open && w.line.empty()) {
                ::shutdown(w.to, SHUT_WR);
            }
        }
        // A side that has stopped sending and has nothing owed to it ends the connection
        // once the other side has closed too.
    }
    ::close(client);
    ::close(server);
}

}  // namespace

int main(int argc, char** argv) {
    std::optional<Address> listenAt;
    std::optional<Address> target;
    delays::Duration delay{};
    std::vector<delays::Step> steps;
    std::string logFile;
    bool ok = true;
    for (int i = 1; i < argc && ok; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        }
        if (i + 1 >= argc) {
            ok = false;
            break;
        }
        const std::string value = argv[++i];
        if (arg == "--listen") {
            listenAt = parseAddress(value, false);
            ok = listenAt.has_value();
        } else if (arg == "--connect") {
            target = parseAddress(value, true);
            ok = target.has_value();
        } else if (arg == "--delay") {
            const auto d = delays::parseDelayMs(value);
            ok = d.has_value();
            delay = d.value_or(delay);
        } else if (arg == "--step") {
            const auto s = delays::parseStep(value);
            ok = s.has_value();
            if (s) {
                steps.push_back(*s);
            }
        } else if (arg == "--log") {
            logFile = value;
        } else {
            ok = false;
        }
    }
    if (!ok || !listenAt || !target) {
        std::cerr << kUsage;
        return 2;
    }
    std::ofstream log;
    if (!logFile.empty()) {
        log.open(logFile);
        if (!log) {
            std::cerr << "delay-proxy: cannot write " << logFile << "\n";
            return 1;
        }
    }
    std::signal(SIGPIPE, SIG_IGN);
    struct sigaction stop {};
    stop.sa_handler = requestStop;
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(signal, &stop, nullptr);
    }

    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    const int one = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    const sockaddr_in at = socketAddress(*listenAt);
    if (::bind(listener, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0 ||
        ::listen(listener, 4) != 0) {
        std::cerr << "delay-proxy: cannot listen on " << listenAt->host << ":" << listenAt->port
                  << ": " << std::strerror(errno) << "\n";
        return 1;
    }
    std::cerr << "delay-proxy: " << listenAt->host << ":" << listenAt->port << " to "
              << target->host << ":" << target->port << "\n";
    Proxy proxy(delays::DelaySchedule(delay, steps), logFile.empty() ? nullptr : &log);
    while (stopRequested == 0) {
        pollfd p{listener, POLLIN, 0};
        if (::poll(&p, 1, -1) <= 0) {
            continue;  // a signal
        }
        const int client = ::accept(listener, nullptr, nullptr);
        if (client >= 0) {
            proxy.serve(client, *target);
        }
    }
    ::close(listener);
    return 0;
}
