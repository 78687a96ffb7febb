#include "tone/output_policy.h"

#include <algorithm>
#include <cmath>

namespace tone {

double OutputPolicy::wantedSeconds() const {
    return std::min(kMostSeconds, std::max(latencyBuffer_, floor_));
}

double OutputPolicy::askSeconds() const {
    const double wanted = wantedSeconds();
    if (asked_ > 0 && std::abs(grantedSeconds() - wanted) <= kGrantTolerance * wanted) {
        return asked_;  // what the stream has is close enough
    }
    return std::min(wanted / grantShare_, kMostAskShare * wanted);
}

void OutputPolicy::started(int frameRate, std::int64_t grantedFrames) {
    const double asked = askSeconds();
    rate_ = frameRate > 0 ? frameRate : 48000;
    granted_ = std::max<std::int64_t>(grantedFrames, 1);
    asked_ = asked;
    grantShare_ = grantedSeconds() / asked;
    rendered_ = quietFrom_ = 0;
    lastFill_.reset();
    quietSince_.reset();
}

void OutputPolicy::resumed() {
    lastFill_.reset();  // the rest was no stall
    quietSince_.reset();
}

void OutputPolicy::ranDry() {
    ++underruns_;
    trouble();
}

void OutputPolicy::trouble() {
    troubled_ = true;
    calmFrames_ = 0;
}

int OutputPolicy::refillInterval() {
    scatter_ = scatter_ * 1664525U + 1013904223U;
    return kRefillMs - kRefillSpreadMs +
           static_cast<int>((scatter_ >> 16) % (2 * kRefillSpreadMs + 1));
}

platform::OutputStep OutputPolicy::next(const platform::StreamPosition& position,
                                        std::size_t frames, bool quiet, bool moving) {
    rendered_ += static_cast<std::int64_t>(frames);
    if (!quiet) {
        quietFrom_ = rendered_;
        quietSince_.reset();
    } else if (!quietSince_) {
        quietSince_ = position.now;
    }
    if (moving && lastFill_) {
        const double queued = static_cast<double>(position.framesQueued);
        if (queued < kCloseCallShare * static_cast<double>(granted_) ||
            toSeconds(position.now - *lastFill_) > kLateFillShare * grantedSeconds()) {
            trouble();
        }
    }
    if (moving) {
        lastFill_ = position.now;
    }
    calmFrames_ += static_cast<std::int64_t>(frames);
    if (calmFrames_ >= std::llround(kCalmSeconds * rate_)) {
        calmFrames_ = 0;
        floor_ = std::max(kFloorSeconds, floor_ / kGrowth);
    }

    platform::OutputStep step;
    step.frames = frames;
    const bool silentLongEnough =
        quiet && (rendered_ >= quietFrom_ + std::llround(kRestAfterSeconds * rate_) ||
                  toSeconds(position.now - *quietSince_) >= kRestAfterSeconds);
    if (!silentLongEnough) {
        step.refillInMs = moving ? refillInterval() : kRefillStartingMs;
        return step;
    }
    if (troubled_) {
        troubled_ = false;
        floor_ = std::min(kMostSeconds, std::max(floor_, grantedSeconds()) * kGrowth);
    }
    const double ask = askSeconds();
    step.then = std::abs(ask - asked_) > kGrantTolerance * asked_
                    ? platform::OutputStep::Then::Reopen
                    : platform::OutputStep::Then::Rest;
    return step;
}

}  // namespace tone
