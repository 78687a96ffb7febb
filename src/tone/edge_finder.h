#pragma once

#include <complex>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// The radio's CW at one pitch: its envelope through a narrow filter, and its key edges, each
// placed to a fraction of a frame. Pure: samples come in as values.
namespace tone {

class EdgeFinder {
  public:
    // The filter: the audio mixed down by the pitch, then three moving averages this long (a
    // symmetric response, so an edge is delayed by a known number of frames, taken off again;
    // another station 300 Hz away is 48 dB down).
    static constexpr double kSmoothingSeconds = 0.004;
    // A mark counts once it stands kContrast times above the floor (the level in the spaces);
    // the key goes down above kRiseShare of the way from the floor to the mark's level and up
    // below kFallShare; an edge is placed where the envelope passes half way.
    static constexpr double kContrast = 3.0;
    static constexpr double kRiseShare = 0.6;
    static constexpr double kFallShare = 0.35;
    // The floor follows the spaces with this time constant; the mark's level falls back toward
    // the floor this slowly between marks (fading, a receiver's AGC).
    static constexpr double kFloorSeconds = 0.050;
    static constexpr double kPeakSeconds = 1.0;

    struct Edge {
        double frame = 0;   // where the key edge is, in frames of the audio fed
        bool down = false;  // the tone begins (key down) or ends
    };

    EdgeFinder(int frameRate, double pitchHz);
    double pitchHz() const { return pitch_; }
    std::int64_t frames() const { return count_; }
    // Feeds the next samples; the edges found are appended to `out`, in order.
    void feed(std::span<const float> samples, std::vector<Edge>& out);

  private:
    float envelopeAt(std::int64_t n) const;
    double crossing(std::int64_t from, std::int64_t to, double level, bool rising) const;
    void finishRise(std::vector<Edge>& out);

    int rate_;
    double pitch_;
    std::size_t length_;  // of each moving average
    double delay_;        // of the filter, in frames
    std::complex<double> phasor_{1, 0};
    std::complex<double> turn_;
    std::vector<std::complex<double>> stages_[3];
    std::complex<double> sums_[3]{};
    std::vector<float> envelope_;  // the recent envelope, a ring
    std::int64_t count_ = 0;
    double floor_ = 0;
    double peak_ = 0;
    bool down_ = false;
    std::int64_t riseAt_ = -1;  // a rise found here, placed once its mark level is known
};

}  // namespace tone
