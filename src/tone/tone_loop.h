#pragma once

#include <cstdint>
#include <span>

#include "tone/wave_file.h"

// The tone the sidetone keys: the tone sample looped at the operator's pitch. Runs on the audio
// thread: no locks, no allocation.
namespace tone {

// The tone as the operator set it: the sample and the rate it is played at (4 x pitch).
struct ToneLoop {
    ToneSample sample;
    double playbackRate = 0;
    std::uint64_t generation = 0;  // newer tones have higher numbers
};

// The key-down gain for a level in hundredths of a dB: 10^(v/2000); -10000 and below is silence.
double volumeGain(int hundredthsOfDb);

// Loops the current tone through the keying envelope. A new tone takes over at the first silent
// frame, from its loop's start, so a pitch change never cuts a mark.
class ToneOscillator {
  public:
    void offer(const ToneLoop* tone) { waiting_ = tone; }
    const ToneLoop* current() const { return tone_; }
    const ToneLoop* waiting() const { return waiting_; }
    // out[k] = the tone at its next sample x envelope[k], at `frameRate` frames a second.
    void render(std::span<std::int16_t> out, std::span<const float> envelope, int frameRate);

  private:
    const ToneLoop* tone_ = nullptr;
    const ToneLoop* waiting_ = nullptr;
    double phase_ = 0;  // position in the tone sample, in its samples
};

}  // namespace tone
