#pragma once

#include <string>

// A pseudo-terminal made to stand in for one end of a serial cable: the master side is held
// here (raw, non-blocking), the slave side is reachable under a link name such as "COM16" that
// a program opens like any serial device. Used by the simulator and the end-to-end tests.
class PtyPair {
  public:
    // Creates the pty and, when linkPath is not empty, a symlink to its slave at linkPath
    // (replacing an old link). Check ok() afterwards.
    explicit PtyPair(const std::string& linkPath = {});
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return master_ >= 0; }
    int masterFd() const { return master_; }
    const std::string& slaveName() const { return slaveName_; }
    const std::string& error() const { return error_; }

    // Writes all bytes to the master (the far end of the cable); false on error.
    bool writeAll(const std::string& bytes);
    // Reads what is waiting on the master, without blocking.
    std::string readAvailable();
    // Waits up to timeoutMs for at least `count` bytes in total, reading as they come.
    std::string readFor(std::size_t count, int timeoutMs);
    // Closes the master: the program's open port sees its cable pulled.
    void unplug();

  private:
    int master_ = -1;
    std::string slaveName_;
    std::string link_;
    std::string error_;
};
