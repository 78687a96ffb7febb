#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace radio_test {

// A program the test starts, its standard output and error going to a file; ended (SIGTERM,
// then SIGKILL) when the object goes.
class ChildProcess {
  public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess() { stop(); }

    // `errors` empty: standard error goes to `output` too.
    bool start(const std::vector<std::string>& args, const std::string& output,
               const std::string& errors = {}) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (errors.empty()) {
            posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
        } else {
            posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errors.c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0644);
        }
        std::vector<char*> argv;
        for (const auto& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        const int error = posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (error != 0) {
            pid_ = 0;
        }
        return pid_ != 0;
    }
    pid_t pid() const { return pid_; }
    // Whether it still runs; the exit code once it has ended (-1 for a signal).
    bool running() {
        if (pid_ == 0 || exit_) {
            return false;
        }
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            exit_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            return false;
        }
        return true;
    }
    std::optional<int> exitCode() {
        running();
        return exit_;
    }
    void signal(int sig) {
        if (running()) {
            ::kill(pid_, sig);
        }
    }
    // Waits up to `longest` for it to end by itself.
    bool waitFor(std::chrono::milliseconds longest) {
        const auto end = std::chrono::steady_clock::now() + longest;
        while (running()) {
            if (std::chrono::steady_clock::now() > end) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }
    void stop() {
        signal(SIGTERM);
        if (!waitFor(std::chrono::milliseconds(3000))) {
            signal(SIGKILL);
            waitFor(std::chrono::milliseconds(3000));
        }
    }

  private:
    pid_t pid_ = 0;
    std::optional<int> exit_;
};

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A key log ("<ns> down" / "<ns> up" a line), as the simulator writes its keyer's and its
// radio's.
struct LoggedEdge {
    long long ns;
    bool down;
};
inline std::vector<LoggedEdge> readEdgeLog(const std::string& path) {
    std::vector<LoggedEdge> edges;
    std::istringstream in(readFile(path));
    long long ns = 0;
    std::string what;
    while (in >> ns >> what) {
        edges.push_back({ns, what == "down"});
    }
    return edges;
}

// Whether a program can be found on the PATH.
inline bool onPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path != nullptr ? path : "");
    for (std::string dir; std::getline(dirs, dir, ':');) {
        if (::access((dir + "/" + name).c_str(), X_OK) == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace radio_test
