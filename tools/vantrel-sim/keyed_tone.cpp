#include "keyed_tone.h"

#include <cmath>
#include <numbers>

namespace sim {

KeyedTone::KeyedTone(double pitchHz, double level, int frameRate)
    : pitch_(pitchHz), level_(level), rate_(frameRate), halfRamp_(kRampSeconds * frameRate / 2) {}

void KeyedTone::key(double frame, bool down) {
    if (down == lastDown_) {
        return;
    }
    lastDown_ = down;
    edges_.push_back({frame, down});
}

// 0 (key up) to 1 (key down) at `frame`.
double KeyedTone::envelope(double frame) {
    while (!edges_.empty() && frame >= edges_.front().frame + halfRamp_) {
        settled_ = edges_.front().down;
        edges_.pop_front();
    }
    if (edges_.empty() || frame <= edges_.front().frame - halfRamp_) {
        return settled_ ? 1 : 0;
    }
    const Edge& edge = edges_.front();
    const double x = (frame - edge.frame + halfRamp_) / (2 * halfRamp_);  // 0..1 along the ramp
    const double rise = 0.5 - 0.5 * std::cos(std::numbers::pi * x);
    return edge.down ? rise : 1 - rise;
}

void KeyedTone::render(std::int64_t first, std::span<float> out) {
    const double step = 2 * std::numbers::pi * pitch_ / rate_;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const auto n = static_cast<double>(first + static_cast<std::int64_t>(i));
        const double e = envelope(n);
        if (e > 0) {
            // The phase from the frame number itself: the tone never drifts or jumps.
            out[i] += static_cast<float>(level_ * e *
                                         std::sin(std::fmod(step * n, 2 * std::numbers::pi)));
        }
    }
}

}  // namespace sim
