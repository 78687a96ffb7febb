#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "morse_timing.h"
#include "sim_clock.h"

namespace sim {

// A keyer that speaks the WinKeyer 2 host protocol and keys as docs/keyer-timing.md describes,
// in time given by the caller.
//
// Bytes from the host go in through receive(); what the keyer says back (answers, status
// bytes, echoes) comes out of receive() and advance(). Text and buffered commands wait in a
// buffer of kBufferSize bytes and are keyed one after another; each character is echoed once
// its last mark has ended. Every key-down and key-up is recorded with its time (keyEdges).
// Status bytes 110 W 0 B 0 X (B busy, X buffer more than two-thirds full) are sent whenever
// they change. Until host open, only admin commands are obeyed.
class SimKeyer {
  public:
    static constexpr std::size_t kBufferSize = 128;
    static constexpr char kVersion = 23;  // a WinKeyer 2
    static constexpr int kPotSpeed = 20;  // the speed the pot is taken to be set to

    struct KeyEdge {
        Time at;
        bool down;
        bool operator==(const KeyEdge&) const = default;
    };

    explicit SimKeyer(int speedWpm = kPotSpeed);

    // Takes bytes from the host at `now` (after keying up to `now`); returns the keyer's replies.
    std::string receive(std::string_view bytes, Time now);
    // Keys up to `now`; returns the echoes and status bytes that fell due.
    std::string advance(Time now);
    // When advance() has something to do next; nullopt while there is nothing to key.
    std::optional<Time> nextDue() const;
    // The key's edges since the last call, in time order.
    std::vector<KeyEdge> takeKeyEdges();

    bool hostOpen() const { return hostOpen_; }
    int speed() const { return bufferedSpeed_.value_or(speed_); }
    const KeyerTiming& timing() const { return timing_; }
    bool serialEcho() const { return (mode_ & kSerialEchoBit) != 0; }
    std::size_t buffered() const;
    std::uint8_t status() const;
    // Everything keyed so far, in order (for the logs and the tests).
    const std::string& keyed() const { return keyed_; }

  private:
    static constexpr std::uint8_t kSerialEchoBit = 0x04;

    // The item being keyed, on the keyer's timeline.
    struct Sending {
        ItemKeying keying;
        Time start;
        std::size_t edgesDone = 0;  // of the marks' downs and ups, in order
        std::string echo;           // sent back when the last mark has ended
        bool echoed = false;
    };

    // The speed a command's value sets: 0 hands it to the pot.
    static int speedFrom(int value);
    void take(unsigned char byte, Time now, std::string& out);
    void runCommand(const std::string& command, Time now, std::string& out);
    void runAdmin(const std::string& command, Time now, std::string& out);
    void loadDefaults(const std::string& command);
    void clear(Time now);
    void powerUp();
    bool startNext(Time earliest);
    bool step(Time now, std::string& out);
    void setMark(bool down, Time at);
    void setTune(bool down, Time at);
    std::optional<Time> sendingDue() const;
    void noteStatus(std::string& out);

    bool hostOpen_ = false;
    bool firmwareUpload_ = false;  // everything after 00 10 is an image, not commands
    int speed_;
    std::optional<int> bufferedSpeed_;
    KeyerTiming timing_;
    std::uint8_t mode_ = kSerialEchoBit;

    std::string command_;          // the command being received, with its parameters so far
    std::size_t commandSize_ = 0;  // its full length once known

    std::deque<std::string> buffer_;  // text characters and buffered commands, in order
    std::optional<Sending> sending_;
    Time readyAt_{};      // when the item after the last one may start
    bool rested_ = true;  // nothing keyed since power-up or a clear

    bool markDown_ = false;
    bool tuneDown_ = false;
    Time tuneUntil_{};  // when the tune watchdog lets the key up
    bool keyDown_ = false;
    std::vector<KeyEdge> edges_;

    std::uint8_t reportedStatus_ = 0xC0;
    std::string keyed_;
};

}  // namespace sim
