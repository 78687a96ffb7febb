#include "pty_pair.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

PtyPair::PtyPair(const std::string& linkPath) {
    int slave = -1;
    char name[256] = {};
    if (openpty(&master_, &slave, name, nullptr, nullptr) != 0) {
        error_ = std::strerror(errno);
        master_ = -1;
        return;
    }
    // Raw before anything is written: master and slave share one termios, and a cooked pty
    // would echo, turn CR into LF and swallow XON/XOFF.
    termios t{};
    tcgetattr(master_, &t);
    cfmakeraw(&t);
    tcsetattr(master_, TCSANOW, &t);
    ::close(slave);  // the program under test opens the slave by name
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    slaveName_ = name;
    if (!linkPath.empty()) {
        ::unlink(linkPath.c_str());
        if (::symlink(slaveName_.c_str(), linkPath.c_str()) != 0) {
            error_ = std::strerror(errno);
            ::close(master_);
            master_ = -1;
            return;
        }
        link_ = linkPath;
    }
}

PtyPair::~PtyPair() {
    unplug();
    if (!link_.empty()) {
        ::unlink(link_.c_str());
    }
}

bool PtyPair::writeAll(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size() && master_ >= 0) {
        const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        } else {
            pollfd p{master_, POLLOUT, 0};
            ::poll(&p, 1, 10);
        }
    }
    return done == bytes.size();
}

std::string PtyPair::readAvailable() {
    std::string out;
    char buffer[4096];
    while (master_ >= 0) {
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        out.append(buffer, static_cast<std::size_t>(n));
    }
    return out;
}

std::string PtyPair::readFor(std::size_t count, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string out = readAvailable();
    while (out.size() < count && master_ >= 0) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            break;
        }
        pollfd p{master_, POLLIN, 0};
        ::poll(&p, 1, static_cast<int>(left));
        out += readAvailable();
    }
    return out;
}

void PtyPair::unplug() {
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
}
