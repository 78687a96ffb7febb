#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "sim_clock.h"

namespace sim {

// One thing the logger does, in the order of its script.
struct Step {
    enum class Kind {
        Text,         // send these bytes as text to key, a few at a time
        Speed,        // send 0x02 value
        Cancel,       // send 0x0A
        Wait,         // pause for `seconds`
        Idle,         // wait until the keyer has keyed everything sent so far
        Bytes,        // send these bytes as they are, at once
        Expect,       // wait for the byte `value` from the keyer (-1: any answer byte)
        Paced,        // send each character once the keyer has echoed the one before
        Trickle,      // send one character at a time, 2 to 4 a second, jittered
        Seed,         // seed the trickle's jitter with `value`
        NoHandshake,  // the script opens the keyer itself: the logger does not
    };
    Kind kind = Kind::Text;
    std::string text;
    int value = 0;
    double seconds = 0;
};

// Reads one script line: "@speed 30", "@cancel", "@wait 1.5", "@idle", "@bytes 0F C4 ...",
// "@expect 55", "@expect any", "@paced TEXT", "@trickle TEXT", "@seed 7", "@no-handshake", or a
// line of text, sent as it is. Blank lines and lines starting with '#' give nothing; a line that
// is no well-formed directive is text.
std::optional<Step> parseStep(std::string_view line);
std::vector<Step> parseScript(std::string_view script);

// A contest logger driving a WinKeyer, in time given by the caller.
//
// Once the port is connected it opens the keyer as loggers do: a few no-ops 0x13 and the echo
// test 00 04 55; after the keyer's 0x55, host open 00 02; after the version byte, the mode
// register (serial echo on), the pin configuration (key port 1, sidetone) and its speed. Then
// it works through its steps. Text goes out a few bytes at a time and stops while the keyer
// reports XOFF; an unanswered opening is tried again every second. A script with
// @no-handshake does all of the opening itself, from the moment the port has settled.
class SimLogger {
  public:
    static constexpr std::chrono::milliseconds kSettle{300};     // after the port opens
    static constexpr std::chrono::milliseconds kRetry{1000};     // unanswered opening
    static constexpr std::chrono::milliseconds kSliceEvery{50};  // text pacing
    static constexpr std::size_t kSliceBytes = 8;
    static constexpr std::chrono::milliseconds kIdleTimeout{2000};  // nothing ever keyed

    explicit SimLogger(int speedWpm = 28);

    void addStep(Step step);
    // Runs the whole script again whenever it is done (a demo's repeating CQ).
    void setRepeat(std::vector<Step> script) { repeat_ = std::move(script); }

    // The port to the keyer came up at `now` (the other end opened) or went away.
    void connected(Time now);
    void disconnected();

    // Takes the keyer's bytes at `now`; returns what the logger sends by then.
    std::string receive(std::string_view bytes, Time now);
    // Returns what the logger sends at `now`.
    std::string advance(Time now);
    // When advance() has something to do next; nullopt while waiting for the keyer.
    std::optional<Time> nextDue() const;

    bool ready() const { return phase_ == Phase::Ready; }
    bool done() const { return ready() && steps_.empty() && repeat_.empty(); }
    std::optional<int> version() const { return version_; }
    // What the keyer sent back so far besides status and pot bytes, in order.
    const std::string& echoed() const { return echoed_; }
    bool keyerBusy() const { return busy_; }
    bool keyerXoff() const { return xoff_; }

  private:
    enum class Phase { Closed, Settling, EchoTest, HostOpen, Ready };

    bool runStep(Time now, std::string& out);
    void sent(Time now);
    std::chrono::milliseconds trickleInterval();

    int speed_;
    bool handshake_ = true;
    Phase phase_ = Phase::Closed;
    Time deadline_{};
    std::optional<int> version_;
    bool settingsDue_ = false;  // mode, pins and speed follow host open

    std::deque<Step> steps_;
    std::vector<Step> repeat_;
    std::size_t textSent_ = 0;  // of the text step under way
    Time nextSlice_{};
    std::optional<Time> waitUntil_;
    std::optional<Time> lastTextSent_;  // when text last went out
    bool busySinceText_ = false;

    bool busy_ = false;
    bool xoff_ = false;
    std::string echoed_;
    std::string heard_;        // answer bytes since the logger last sent something
    std::size_t pacedAt_ = 0;  // echoed_'s length when the last paced character went
    std::mt19937 jitter_{1};   // the trickle's pacing
};

}  // namespace sim
