#pragma once

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>

#include "frame_clock.h"
#include "radio_sound.h"
#include "sim_clock.h"

struct pa_simple;

namespace sim {

// The simulated radio's loudspeaker: plays RadioSound into a sound server's sink on a thread
// of its own, with each key edge on the frame that the server says plays at the edge's moment.
// The keyer's loop only queues edges here and never waits for the sound.
class RadioOutput {
  public:
    // The stream's buffer: edges must be known this long before they play.
    static constexpr double kBufferSeconds = 0.040;
    // Frames rendered and written at a time.
    static constexpr int kBlockFrames = 240;

    // `log` (may be null) gets every edge as played: "<ns> down" or "<ns> up".
    RadioOutput(const std::string& sink, const RadioSoundSettings& settings, std::ostream* log);
    ~RadioOutput();
    RadioOutput(const RadioOutput&) = delete;
    RadioOutput& operator=(const RadioOutput&) = delete;

    // Connects to the sound server and starts playing (silence until keyed); false with
    // error() when it cannot.
    bool start();
    const std::string& error() const { return error_; }
    // The key goes down or up at `at` on the monotonic clock (edges in time order).
    void key(Time at, bool down);
    // Waits until every edge given has been played (its ramp included), at most `longest`.
    void finish(Duration longest);

  private:
    struct Edge {
        Time at;
        bool down;
    };
    void run();
    void placeEdges(std::int64_t blockEnd);
    void logPlayed();

    std::string sink_;
    RadioSound sound_;
    std::ostream* log_;
    std::string error_;
    FrameClock clock_;
    int rate_;
    pa_simple* stream_ = nullptr;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::mutex queueLock_;
    std::deque<Edge> queue_;    // from the keyer's loop, guarded by queueLock_
    std::deque<Edge> waiting_;  // the audio thread's own: taken from the queue, not yet placed
    struct Placed {
        double frame;
        bool down;
    };
    std::deque<Placed> placed_;                // placed, not yet played: logged when they play
    std::int64_t written_ = 0;                 // frames
    std::atomic<std::int64_t> lastEdgeNs_{0};  // when the last edge given plays, as placed
    std::atomic<bool> allPlaced_{true};
};

}  // namespace sim
