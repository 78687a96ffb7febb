#pragma once

#include <cstdint>
#include <optional>
#include <random>
#include <span>

#include "keyed_tone.h"
#include "morse_timing.h"

namespace sim {

// What the simulated radio's receive audio carries: our keyer's CW, and as options white noise
// and a second station sending random CW at a pitch of its own. Pure: frames in, samples out.
struct RadioSoundSettings {
    int frameRate = 48000;
    double pitchHz = 700;
    std::optional<double> noiseDb;   // noise this many dB below our tone (signal to noise)
    std::optional<double> secondHz;  // the second station's pitch
    std::uint32_t seed = 1;          // for the noise and the second station's text
};

// The second station: words of random letters and digits at its own speed, with pauses between
// its overs, keyed as the simulated keyer keys, never in step with ours.
class RandomCw {
  public:
    static constexpr int kWpm = 23;

    RandomCw(std::uint32_t seed, int frameRate);
    // Keys `tone` with every edge up to `frame`.
    void keyUpTo(double frame, KeyedTone& tone);

  private:
    void nextWord();

    std::mt19937 random_;
    int rate_;
    double cursor_;                              // frame where the next word starts
    std::vector<std::pair<double, bool>> word_;  // the word's edges, in frames
    std::size_t next_ = 0;
    int wordsLeft_ = 0;  // of this over
};

class RadioSound {
  public:
    // Our tone's level (a quarter of full scale); the second station sounds as loud.
    static constexpr double kLevel = 0.25;

    explicit RadioSound(const RadioSoundSettings& settings);

    // Our keyer's edges, in frame order (fractional frames: the edge's exact moment).
    void key(double frame, bool down) { ours_.key(frame, down); }
    // The radio's samples for frames first, first + 1, ..., as 16-bit values.
    void render(std::int64_t first, std::span<std::int16_t> out);

  private:
    RadioSoundSettings settings_;
    KeyedTone ours_;
    std::optional<KeyedTone> second_;
    std::optional<RandomCw> secondText_;
    std::mt19937 noise_;
    std::normal_distribution<double> gauss_;
    double noiseRms_ = 0;
    std::vector<float> mix_;
};

}  // namespace sim
