#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

#include "sim_clock.h"

namespace sim {

// A keyer that speaks the WinKeyer 2 host protocol, in time given by the caller.
//
// Bytes from the host go in through receive(); what the keyer says back (answers, status
// bytes, echoes) comes out of receive() and advance(). Text and buffered commands wait in a
// buffer of kBufferSize bytes and are keyed one after another at PARIS timing; each character
// is echoed once its last element has been keyed, and the next one starts after a letter gap.
// Status bytes 110 W 0 B 0 X (B busy, X buffer more than two-thirds full) are sent whenever
// they change. Until host open, only admin commands are obeyed.
class SimKeyer {
  public:
    static constexpr std::size_t kBufferSize = 128;
    static constexpr char kVersion = 23;  // a WinKeyer 2
    static constexpr int kPotSpeed = 20;  // the speed the pot is taken to be set to

    explicit SimKeyer(int speedWpm = kPotSpeed);

    // Takes bytes from the host at `now` (after keying up to `now`); returns the keyer's replies.
    std::string receive(std::string_view bytes, Time now);
    // Keys up to `now`; returns the echoes and status bytes that fell due.
    std::string advance(Time now);
    // When advance() has something to do next; nullopt while there is nothing to key.
    std::optional<Time> nextDue() const;

    bool hostOpen() const { return hostOpen_; }
    int speed() const { return bufferedSpeed_.value_or(speed_); }
    bool serialEcho() const { return (mode_ & kSerialEchoBit) != 0; }
    std::size_t buffered() const;
    std::uint8_t status() const;
    // Everything keyed so far, in order (for the logs and the tests).
    const std::string& keyed() const { return keyed_; }

  private:
    static constexpr std::uint8_t kSerialEchoBit = 0x04;

    struct Sending {
        std::string echo;  // sent back when the keying ends
        Time end;          // key up after the last element
        Time nextFrom;     // when the next item may start
    };

    void take(unsigned char byte, Time now, std::string& out);
    void runAdmin(const std::string& command, std::string& out);
    void runImmediate(const std::string& command, std::string& out);
    void clear(Time now);
    void startNext(Time earliest);
    void noteStatus(std::string& out);

    bool hostOpen_ = false;
    int speed_;
    std::optional<int> bufferedSpeed_;
    std::uint8_t mode_ = kSerialEchoBit;

    std::string command_;          // the command being received, with its parameters so far
    std::size_t commandSize_ = 0;  // its full length once known

    std::deque<std::string> buffer_;  // text characters and buffered commands, in order
    std::optional<Sending> sending_;
    Time readyAt_{};
    std::uint8_t reportedStatus_ = 0xC0;
    std::string keyed_;
};

}  // namespace sim
