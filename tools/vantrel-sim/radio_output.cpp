#include "radio_output.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <vector>

namespace sim {

RadioOutput::RadioOutput(const std::string& sink, const RadioSoundSettings& settings,
                         std::ostream* log)
    : sink_(sink),
      sound_(settings),
      log_(log),
      clock_(settings.frameRate),
      rate_(settings.frameRate) {}

RadioOutput::~RadioOutput() {
    stop_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
    // What was placed and is still to play goes into the log all the same.
    for (const Placed& edge : placed_) {
        if (log_ != nullptr) {
            *log_ << clock_.timeOf(edge.frame).time_since_epoch().count()
                  << (edge.down ? " down" : " up") << std::endl;
        }
    }
    if (stream_ != nullptr) {
        pa_simple_free(stream_);
    }
}

bool RadioOutput::start() {
    const pa_sample_spec format{PA_SAMPLE_S16LE, static_cast<std::uint32_t>(rate_), 1};
    pa_buffer_attr buffer{};
    buffer.maxlength = static_cast<std::uint32_t>(-1);
    buffer.tlength = static_cast<std::uint32_t>(std::lround(kBufferSeconds * rate_) * 2);
    buffer.prebuf = static_cast<std::uint32_t>(-1);
    buffer.minreq = static_cast<std::uint32_t>(-1);
    buffer.fragsize = static_cast<std::uint32_t>(-1);
    int code = 0;
    stream_ = pa_simple_new(nullptr, "vantrel-sim", PA_STREAM_PLAYBACK, sink_.c_str(),
                            "the simulated radio", &format, nullptr, &buffer, &code);
    if (stream_ == nullptr) {
        error_ = pa_strerror(code);
        return false;
    }
    thread_ = std::thread([this] { run(); });
    return true;
}

void RadioOutput::key(Time at, bool down) {
    const std::lock_guard lock(queueLock_);
    queue_.push_back({at, down});
    allPlaced_ = false;
}

void RadioOutput::finish(Duration longest) {
    const Time end = Clock::now() + longest;
    const auto ramp = std::chrono::duration_cast<Duration>(
        std::chrono::duration<double>(KeyedTone::kRampSeconds));
    while (Clock::now() < end && thread_.joinable()) {
        if (allPlaced_ && Clock::now() > Time(Duration(lastEdgeNs_.load())) + ramp) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// Hands the sound every waiting edge whose ramp reaches into the block that ends at `blockEnd`,
// on the frame that plays at its moment; one that comes too late for that plays at once.
void RadioOutput::placeEdges(std::int64_t blockEnd) {
    {
        const std::lock_guard lock(queueLock_);
        waiting_.insert(waiting_.end(), queue_.begin(), queue_.end());
        queue_.clear();
        allPlaced_ = waiting_.empty();
    }
    const double halfRamp = KeyedTone::kRampSeconds * rate_ / 2;
    while (!waiting_.empty()) {
        const Edge edge = waiting_.front();
        double frame = clock_.frameAt(edge.at);
        if (frame - halfRamp >= static_cast<double>(blockEnd)) {
            return;
        }
        frame = std::max(frame, static_cast<double>(written_) + halfRamp);
        sound_.key(frame, edge.down);
        placed_.push_back({frame, edge.down});
        waiting_.pop_front();
        lastEdgeNs_ = clock_.timeOf(frame).time_since_epoch().count();
        if (waiting_.empty()) {
            const std::lock_guard lock(queueLock_);
            allPlaced_ = queue_.empty();
        }
    }
}

// Logs each placed edge once it plays, on the clock as the server's latest reports have it:
// after a stall or an underrun the frames already placed play later than first thought, and
// the log tells when they really did.
void RadioOutput::logPlayed() {
    const double now = clock_.frameAt(Clock::now());
    while (!placed_.empty() && placed_.front().frame <= now) {
        if (log_ != nullptr) {
            *log_ << clock_.timeOf(placed_.front().frame).time_since_epoch().count()
                  << (placed_.front().down ? " down" : " up") << std::endl;
        }
        placed_.pop_front();
    }
}

void RadioOutput::run() {
    std::vector<std::int16_t> block(kBlockFrames);
    int code = 0;
    while (!stop_) {
        // Edges are placed only once the server has said where the stream plays.
        if (clock_.known()) {
            placeEdges(written_ + kBlockFrames);
        }
        sound_.render(written_, block);
        if (pa_simple_write(stream_, block.data(), block.size() * sizeof block[0], &code) < 0) {
            std::cerr << "vantrel-sim: the radio's sound stopped: " << pa_strerror(code) << "\n";
            return;
        }
        written_ += kBlockFrames;
        const pa_usec_t latency = pa_simple_get_latency(stream_, &code);
        if (latency != static_cast<pa_usec_t>(-1)) {
            clock_.report(written_, Clock::now() + std::chrono::microseconds(latency));
        }
        logPlayed();
    }
}

}  // namespace sim
