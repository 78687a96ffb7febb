#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "tone/monitor.h"
#include "tone/wave_file.h"

// The sidetone: the tone sample looped at the chosen pitch, keyed by the characters of the
// monitor placed on the sample timeline. Runs on the audio thread: no locks, no allocation.
namespace tone {

// The tone as the operator set it: the sample and the rate it is played at (4 x pitch).
struct ToneLoop {
    ToneSample sample;
    double playbackRate = 0;
};

// The key-down gain for a level in hundredths of a dB: 10^(v/2000); -10000 and below is silence.
double volumeGain(int hundredthsOfDb);

class Sidetone {
  public:
    // Every key edge is a raised-cosine ramp this long, centred on the edge's own frame, so the
    // level passes half way exactly where the schedule puts the edge.
    static constexpr double kEdgeSeconds = 0.005;

    explicit Sidetone(int frameRate = 48000) { restart(frameRate); }

    // A new stream: frame 0 comes next; nothing is keyed. The tone stays.
    void restart(int frameRate);
    int frameRate() const { return frameRate_; }
    std::int64_t nextFrame() const { return next_; }

    // The tone to loop from the next moment the key is up (nullptr: silence). Offer one only
    // when none waits.
    void offerTone(const ToneLoop* tone);
    bool toneWaiting() const { return toneWaiting_; }
    const ToneLoop* currentTone() const { return tone_; }
    const ToneLoop* waitingTone() const { return waiting_; }
    // The tone that the last render stopped using, once: for its owner to free.
    const ToneLoop* takeRetired();

    // Places a character. The first character of a run starts its run at frame
    // `requestedRunStart`, or as soon as it still can; the others follow their run's timeline.
    // A character that comes too late for part of itself loses that part: the rest of its run
    // stays where it belongs.
    void place(const PlayedCharacter& character, std::int64_t requestedRunStart);
    // Takes back the marks of run `run` from `offset` seconds into it on, except those already
    // begun.
    void withdraw(std::uint64_t run, double offset);
    // The frame where the run placed last starts (valid once a character is placed).
    std::int64_t runAnchor() const { return runAnchor_; }
    // From this frame on nothing placed sounds any more, closing gaps included.
    std::int64_t keyingEnd() const { return keyingEnd_; }

    // Renders the next out.size() frames.
    void render(std::span<std::int16_t> out);

  private:
    struct PlacedMark {
        std::int64_t start = 0;
        std::int64_t end = 0;
        float gain = 0;
    };
    static constexpr std::size_t kMarkCapacity = 64;
    static constexpr std::size_t kBlock = 256;

    void renderBlock(std::int16_t* out, std::size_t frames);
    bool keyedWithin(std::int64_t from, std::int64_t to) const;
    float ramp(double x) const;

    int frameRate_ = 48000;
    double halfEdge_ = 0;
    std::int64_t next_ = 0;

    std::array<PlacedMark, kMarkCapacity> marks_{};
    std::size_t firstMark_ = 0;
    std::size_t markCount_ = 0;

    bool inRun_ = false;
    std::uint64_t run_ = 0;
    std::int64_t runAnchor_ = 0;
    std::int64_t keyingEnd_ = 0;

    const ToneLoop* tone_ = nullptr;
    const ToneLoop* waiting_ = nullptr;
    bool toneWaiting_ = false;
    const ToneLoop* retired_ = nullptr;
    double phase_ = 0;  // position in the tone sample, in its samples
};

}  // namespace tone
