#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
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

    Monitor(MonitorInputs inputs, Player play);

    // The codes still to sound, two decimal digits per character ("84" is T).
    const std::string& monitorQueue() const { return monitorQueue_; }
    void replaceQueue(std::string codes) { monitorQueue_ = std::move(codes); }
    void appendToQueue(std::string_view codes) { monitorQueue_ += codes; }
    void clearQueue() { monitorQueue_.clear(); }

    // One tick of the 1 ms timer at time `now`. While the queue waits it counts toward the
    // latency; once the latency is reached a run starts; during a run it takes the next
    // character when the previous one is over.
    void tick(TimePoint now);

    // Whether ticks do anything: false when idle, so the timer can rest.
    bool needsTicks() const { return sendingBusy_ || !monitorQueue_.empty(); }

    bool sendingBusy() const { return sendingBusy_; }
    double latencyTicks() const { return latencyTicks_; }

  private:
    void continueRun(TimePoint now);
    std::string takeCode();

    MonitorInputs inputs_;
    Player play_;
    std::string monitorQueue_;
    double latencyTicks_ = 0;
    bool sendingBusy_ = false;
    std::uint64_t run_ = 0;
    TimePoint runStart_{};
    double offset_ = 0;         // seconds from the run's start to the end of the last character
    TimePoint characterEnd_{};  // when the last character handed over is over
};

}  // namespace tone
