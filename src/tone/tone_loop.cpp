#include "tone/tone_loop.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace tone {
namespace {

constexpr int kSilentLevel = -10000;
constexpr double kFullScale = 32767.0;

}  // namespace

double volumeGain(int hundredthsOfDb) {
    if (hundredthsOfDb <= kSilentLevel) {
        return 0;
    }
    return std::pow(10.0, std::min(hundredthsOfDb, 0) / 2000.0);
}

void ToneOscillator::render(std::span<std::int16_t> out, std::span<const float> envelope,
                            int frameRate) {
    for (std::size_t k = 0; k < out.size(); ++k) {
        if (waiting_ != nullptr && envelope[k] == 0) {
            tone_ = waiting_;
            waiting_ = nullptr;
            phase_ = 0;
        }
        const std::size_t length = tone_ != nullptr ? tone_->sample.samples.size() : 0;
        const double step = tone_ != nullptr ? tone_->playbackRate / frameRate : 0;
        if (length < 2 || !(step > 0 && step < 1e6)) {
            out[k] = 0;
            continue;
        }
        if (envelope[k] == 0) {
            out[k] = 0;
        } else {
            const std::vector<float>& samples = tone_->sample.samples;
            const auto i = static_cast<std::size_t>(phase_);
            const double frac = phase_ - static_cast<double>(i);
            const float a = samples[i];
            const float b = samples[i + 1 < length ? i + 1 : 0];
            const double value = (a + frac * (b - a)) * envelope[k];
            out[k] = static_cast<std::int16_t>(
                std::lround(std::clamp(value * kFullScale, -kFullScale, kFullScale)));
        }
        phase_ += step;
        if (phase_ >= static_cast<double>(length)) {
            phase_ = std::fmod(phase_, static_cast<double>(length));
        }
    }
}

}  // namespace tone
