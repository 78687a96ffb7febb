#include "frame_clock.h"

#include <cmath>

namespace sim {

void FrameClock::report(std::int64_t frame, Time at) {
    const double zero = static_cast<double>(at.time_since_epoch().count()) -
                        static_cast<double>(frame) * 1e9 / rate_;
    const double off = zero - zero_;
    if (!known_) {
        zero_ = zero;
        known_ = true;
        return;
    }
    if (std::abs(off) > kJumpSeconds * 1e9) {
        if (++far_ >= kJumpInARow) {
            zero_ = zero;
            far_ = 0;
        }
        return;
    }
    far_ = 0;
    zero_ += off * kShare;
}

double FrameClock::frameAt(Time t) const {
    return (static_cast<double>(t.time_since_epoch().count()) - zero_) * rate_ / 1e9;
}

Time FrameClock::timeOf(double frame) const {
    return Time(Duration(std::llround(zero_ + frame * 1e9 / rate_)));
}

}  // namespace sim
