#include "tone/mark_placer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace tone {

void MarkPlacer::restart(int frameRate) {
    frameRate_ = frameRate > 0 ? frameRate : 48000;
    known_ = false;
    stretchLate_ = 0;
}

// Counted from where the sequence was last set, so frames do not round up along it.
std::int64_t MarkPlacer::sequenceFrame(TimePoint at) const {
    return anchorFrame_ + framesIn(at - anchorTime_, frameRate_);
}

// How far a mark of a busy sequence moves toward the timeline, `off` frames away. Only a
// character's first mark moves: inside a character the keyed gaps are kept whole.
std::int64_t MarkPlacer::pullFor(std::int64_t off, const KeyMark& mark) const {
    if (!mark.startsCharacter) {
        return 0;
    }
    if (std::abs(off) <= kRoundingFrames) {
        return off;
    }
    if (off < -framesIn(fromSeconds(kCatchUpSeconds), frameRate_)) {
        return std::max(off, -framesIn(mark.keyedGap, frameRate_) / kCatchUpShare);
    }
    const std::int64_t nudge = framesIn(fromSeconds(kNudgeSeconds), frameRate_);
    return std::clamp(off / kNudgeShare, -nudge, nudge);
}

MarkPlacer::Placement MarkPlacer::place(const KeyMark& mark, const FrameClock& clock,
                                        std::int64_t earliest, std::int64_t waited) {
    const auto target = static_cast<std::int64_t>(std::llround(clock.frameAt(mark.start)));
    std::int64_t start = target;
    const bool follows = mark.inSequence && known_ && !mark.afterRest;
    if (follows) {
        const std::int64_t kept = sequenceFrame(mark.start);
        // Where the stretch is to sound: as late as its hand-over made it, no later.
        const std::int64_t aim = target + stretchLate_;
        const std::int64_t off = aim - kept;
        const std::int64_t jump = framesIn(fromSeconds(kJumpSeconds), frameRate_);
        start = off > jump ? aim : kept + pullFor(off, mark);
    } else if (mark.inSequence && known_) {
        const TimePoint gap = std::min(mark.keyedGap, mark.letterGap);
        start = std::max(target, end_ + framesIn(gap, frameRate_));
    }
    Placement p;
    p.start = std::max(start, earliest);
    p.end = p.start + framesIn(mark.end - mark.start, frameRate_);
    p.shift = p.start - target;
    if (mark.inSequence) {
        if (!follows) {
            // What the wait for the clock cost is caught up in the gaps between characters.
            stretchLate_ = std::max<std::int64_t>(p.shift - waited, 0);
        }
        if (!known_ || p.start != sequenceFrame(mark.start)) {
            anchorFrame_ = p.start;
            anchorTime_ = mark.start;
        }
        end_ = p.end;
        known_ = true;
        lateMarks_ += p.shift > frameRate_ / 1000 ? 1 : 0;
    }
    return p;
}

void MarkPlacer::cutAt(std::int64_t frame) {
    end_ = std::min(end_, frame);
}

}  // namespace tone
