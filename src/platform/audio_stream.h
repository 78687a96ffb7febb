#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>

// What an audio output asks of whatever fills it. Plain C++, so the sound itself is made and
// tested without a device, and what the output does next is decided there too.
namespace platform {

// Where the output stood when it asked for more sound.
struct StreamPosition {
    std::chrono::nanoseconds now{};  // monotonic clock (steady_clock since its epoch)
    std::int64_t framesWritten = 0;  // frames handed to the device since the stream started
    std::int64_t framesQueued = 0;   // of those, the frames the device has not played yet
    // The device's own running count of the frames it has played, where it keeps one (-1 where
    // not): smoother than framesWritten - framesQueued, which many devices report in steps, but
    // slow to settle after the stream starts or resumes.
    std::int64_t framesPlayed = -1;
};

// What the output is to do after a fill.
struct OutputStep {
    std::size_t frames = 0;  // rendered at the start of the room given: write them
    enum class Then : std::uint8_t {
        Refill,  // fill again in refillInMs
        Rest,    // suspend the stream until woken; it holds only silence
        Reopen,  // open the stream again (for another buffer); it holds only silence
    };
    Then then = Then::Refill;
    int refillInMs = 10;
};

// Fills a mono stream of 16-bit samples. Called on the audio thread only: it must neither
// block nor allocate.
class SampleSource {
  public:
    virtual ~SampleSource() = default;

    // The buffer to ask the device for when a stream opens, in seconds.
    virtual double bufferSeconds() = 0;
    // A new stream at `frameRate` frames per second begins with `bufferFrames` of buffer (what
    // the device granted); frame 0 comes next.
    virtual void startStream(int frameRate, std::int64_t bufferFrames) = 0;
    // The stream was suspended and plays on: its frames no longer follow the clock as they did.
    virtual void streamResumed() = 0;
    // The device ran out of sound while playing.
    virtual void ranDry() = 0;
    // Renders into `room` (what the device takes now) and says what to do next.
    virtual OutputStep fill(std::span<std::int16_t> room, const StreamPosition& position) = 0;
};

}  // namespace platform
