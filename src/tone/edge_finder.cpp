#include "tone/edge_finder.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tone {

EdgeFinder::EdgeFinder(int frameRate, double pitchHz)
    : rate_(std::max(frameRate, 1000)),
      pitch_(pitchHz),
      length_(static_cast<std::size_t>(
          std::max<long long>(2, std::llround(kSmoothingSeconds * rate_)))),
      delay_(3.0 * static_cast<double>(length_ - 1) / 2),
      turn_(std::polar(1.0, -2 * std::numbers::pi * pitchHz / rate_)) {
    for (auto& stage : stages_) {
        stage.assign(length_, {});
    }
    envelope_.assign(10 * length_, 0);
}

float EdgeFinder::envelopeAt(std::int64_t n) const {
    return envelope_[static_cast<std::size_t>(n % static_cast<std::int64_t>(envelope_.size()))];
}

// Where the envelope passes `level` between frames `from` and `to`, searching back from `to`;
// interpolated between the two frames around it.
double EdgeFinder::crossing(std::int64_t from, std::int64_t to, double level, bool rising) const {
    from =
        std::max({from, count_ - static_cast<std::int64_t>(envelope_.size()) + 1, std::int64_t{0}});
    for (std::int64_t i = to; i > from; --i) {
        const double a = envelopeAt(i - 1);
        const double b = envelopeAt(i);
        if (rising ? (a < level && b >= level) : (a > level && b <= level)) {
            return static_cast<double>(i - 1) + (level - a) / (b - a);
        }
    }
    return static_cast<double>(to);
}

// A rise is placed once the envelope has reached the mark's level: half way between that and
// the floor.
void EdgeFinder::finishRise(std::vector<Edge>& out) {
    const auto span = static_cast<std::int64_t>(3 * length_);
    float level = 0;
    for (std::int64_t i = riseAt_; i < count_; ++i) {
        level = std::max(level, envelopeAt(i));
    }
    const double half = (level + floor_) / 2;
    out.push_back({crossing(riseAt_ - span, count_ - 1, half, true) - delay_, true});
    riseAt_ = -1;
}

void EdgeFinder::feed(std::span<const float> samples, std::vector<Edge>& out) {
    const double floorStep = 1 / (kFloorSeconds * rate_);
    const double peakStep = 1 / (kPeakSeconds * rate_);
    const auto settle = static_cast<std::int64_t>(3 * length_);  // the filter has filled
    for (const float s : samples) {
        std::complex<double> z = phasor_ * static_cast<double>(s);
        phasor_ *= turn_;
        if ((count_ & 1023) == 0) {
            phasor_ /= std::abs(phasor_);
        }
        for (std::size_t k = 0; k < 3; ++k) {
            auto& ring = stages_[k];
            std::complex<double>& slot = ring[static_cast<std::size_t>(count_) % length_];
            sums_[k] += z - slot;
            slot = z;
            z = sums_[k] / static_cast<double>(length_);
        }
        const double env = 2 * std::abs(z);
        envelope_[static_cast<std::size_t>(count_ % static_cast<std::int64_t>(envelope_.size()))] =
            static_cast<float>(env);

        if (count_ == 0) {
            floor_ = peak_ = env;
        }
        peak_ = std::max(env, peak_ - (peak_ - floor_) * peakStep);
        const double span = peak_ - floor_;
        if (!down_) {
            if (env < floor_ + span / 2 || count_ < settle) {
                floor_ += (env - floor_) * floorStep;
            }
            if (count_ >= settle && peak_ > kContrast * floor_ &&
                env > floor_ + kRiseShare * span) {
                down_ = true;
                riseAt_ = count_;
            }
        } else {
            if (riseAt_ >= 0 && count_ >= riseAt_ + settle) {
                finishRise(out);
            }
            if (env < floor_ + kFallShare * span) {
                if (riseAt_ >= 0) {
                    finishRise(out);  // a short mark: placed with what it reached
                }
                down_ = false;
                const auto back = static_cast<std::int64_t>(3 * length_);
                float level = 0;
                for (std::int64_t i = std::max<std::int64_t>(0, count_ - back); i <= count_; ++i) {
                    level = std::max(level, envelopeAt(i));
                }
                const double half = (level + floor_) / 2;
                out.push_back({crossing(count_ - back, count_, half, false) - delay_, false});
            }
        }
        ++count_;
    }
}

}  // namespace tone
