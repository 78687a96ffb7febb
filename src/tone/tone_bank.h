#pragma once

#include <complex>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// The radio's audio block by block, as the power at each pitch CW is sent at: the coarse view
// in which the radio's CW is found. Pure: samples come in as values.
namespace tone {

class ToneBank {
  public:
    // Blocks this long (Hann-windowed, zero-padded to a power of two), held for the last
    // kHistorySeconds.
    static constexpr double kBlockSeconds = 0.010;
    static constexpr double kHistorySeconds = 12.0;
    // The pitches looked at.
    static constexpr double kLowestHz = 250;
    static constexpr double kHighestHz = 1300;

    explicit ToneBank(int frameRate);
    void feed(std::span<const float> samples);

    int frameRate() const { return rate_; }
    std::int64_t blockFrames() const { return blockFrames_; }
    // Blocks done so far: block b covers frames [b * blockFrames, (b + 1) * blockFrames).
    std::int64_t blocks() const { return done_; }
    // The oldest block still held.
    std::int64_t oldestBlock() const;
    std::size_t bins() const { return bins_; }
    double binHz(double bin) const;  // a fractional bin: between two
    // The amplitude at `bin` in block `block` (held: oldestBlock() <= block < blocks()).
    float amplitude(std::int64_t block, std::size_t bin) const;

  private:
    int rate_;
    std::int64_t blockFrames_;
    std::size_t fftSize_ = 1;
    std::size_t firstBin_ = 0;
    std::size_t bins_ = 0;
    std::size_t history_ = 0;     // blocks held
    std::vector<float> window_;   // Hann
    std::vector<float> pending_;  // samples of the block being filled
    std::vector<std::complex<float>> work_;
    std::vector<float> amplitudes_;  // history_ x bins_
    std::int64_t done_ = 0;
};

}  // namespace tone
