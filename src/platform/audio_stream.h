#pragma once

#include <chrono>
#include <cstdint>
#include <span>

// What an audio output asks of whatever fills it. Plain C++, so the sound itself is made and
// tested without a device.
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

// Fills a mono stream of 16-bit samples. Called on the audio thread only: it must neither
// block nor allocate.
class SampleSource {
  public:
    virtual ~SampleSource() = default;

    // A new stream at `frameRate` frames per second begins; frame 0 comes next.
    virtual void startStream(int frameRate) = 0;
    // The stream stopped and plays on (after a rest, or after it ran dry): its frames no longer
    // follow the clock as they did, so where it stands must be found afresh.
    virtual void streamMoved() = 0;
    // The next out.size() frames of the stream.
    virtual void render(std::span<std::int16_t> out, const StreamPosition& position) = 0;
    // Whether the stream may rest after the last render: all it would render is silence until
    // the output is woken (AudioOutput::wake).
    virtual bool resting() const = 0;
};

}  // namespace platform
