#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "tone/element_schedule.h"

// The monitor: holds back the queued characters for the operator's latency, then hands them,
// one character at a time and back to back, to the sidetone.
namespace tone {

using Clock = std::chrono::steady_clock;
using TimePoint = std::chrono::nanoseconds;  // monotonic time since the clock's epoch

// What the monitor reads from the operator's controls, afresh whenever it needs them.
struct MonitorInputs {
    std::function<double()> latency;  // ticks to hold back the first character of a run
    std::function<double()> speed;    // words per minute
    std::function<int()> volume;      // key-down level, hundredths of a dB
};

// One character to sound. The characters of a run lie back to back on one timeline: each
// begins `offset` seconds after the run's start, exactly where the previous one ended.
struct PlayedCharacter {
    std::uint64_t run = 0;
    TimePoint runStart{};
    double offset = 0;
    CharacterSchedule schedule;
    int volume = 0;
};

class Monitor {
  public:
    using Player = std::function<void(const PlayedCharacter&)>;
    // The characters of run `run` handed over from `offset` on are not to sound after all.
    using Withdraw = std::function<void(std::uint64_t run, double offset)>;

    // With `ahead` above zero, the next character of a run is handed over that long before the
    // current one is over, so the sidetone has it in time even when a tick comes late. It is
    // still taken from the queue only when the current character is over; if what is taken
    // then differs (a cancel, a new queue, another speed or volume), the early one is withdrawn.
    Monitor(MonitorInputs inputs, Player play, Withdraw withdraw = {},
            std::chrono::nanoseconds ahead = {});

    // The codes still to sound, two decimal digits per character ("84" is T).
    const std::string& monitorQueue() const { return monitorQueue_; }
    void replaceQueue(std::string codes) {
        monitorQueue_ = std::move(codes);
        aheadLooked_ = false;
    }
    void appendToQueue(std::string_view codes) {
        monitorQueue_ += codes;
        aheadLooked_ = false;
    }
    void clearQueue() {
        monitorQueue_.clear();
        aheadLooked_ = false;
    }

    // One tick of the 1 ms timer at time `now`. While the queue waits it counts toward the
    // latency; once the latency is reached a run starts; during a run it takes the next
    // character when the previous one is over.
    void tick(TimePoint now);

    // Whether ticks do anything: false when idle, so the timer can rest.
    bool needsTicks() const { return sendingBusy_ || !monitorQueue_.empty(); }
    // When the next tick is wanted during a run: nothing changes before then. nullopt while
    // every tick counts (waiting for the latency) or when idle.
    std::optional<TimePoint> nextTickDue() const;

    bool sendingBusy() const { return sendingBusy_; }
    double latencyTicks() const { return latencyTicks_; }

    // When the current run started (the tick that reached the latency).
    TimePoint runStart() const { return runStart_; }

  private:
    void continueRun(TimePoint now);
    void handAhead();
    std::string takeCode();
    std::optional<PlayedCharacter> nextCharacter(std::string_view codes) const;

    MonitorInputs inputs_;
    Player play_;
    Withdraw withdraw_;
    std::chrono::nanoseconds ahead_;
    std::string monitorQueue_;
    double latencyTicks_ = 0;
    bool sendingBusy_ = false;
    std::uint64_t run_ = 0;
    TimePoint runStart_{};
    double offset_ = 0;         // seconds from the run's start to the end of the last character
    TimePoint characterEnd_{};  // when the last character taken is over
    std::optional<PlayedCharacter> handedAhead_;  // handed over, not yet taken from the queue
    bool aheadLooked_ = false;  // looked ahead since the last take or change of the queue
};

}  // namespace tone
