#pragma once

#include <cstdint>

#include "tone/sidetone_contract.h"
#include "tone/stream_timeline.h"

// Where each key mark starts on the output stream. Runs on the audio thread: no locks, no
// allocation.
namespace tone {

// A mark is placed on its frame of the timeline, or as soon as a clean edge still can. While the
// keyer was busy, a mark follows the one before it by the gap the keyer keyed, so the timeline's
// small wobbles do not stretch or squeeze the spaces: the sequence is pulled toward the timeline
// a little at each character and moved at once only when it is far ahead. A sequence that fell
// behind (a late hand-over, a stall, a device that ran dry) keeps the gaps inside characters and
// catches up in the gaps between them. A stretch that began late keeps the lateness its
// hand-over made unavoidable (a latency shorter than the output's delay) and its rhythm with it;
// what it lost waiting for the stream's clock (a start, a resume) it catches up. After a rest the
// mark goes back on the timeline, keeping a letter gap after what sounded last.
class MarkPlacer {
  public:
    // Within this many frames of the timeline, the sequence is set on it whole: frames round.
    static constexpr std::int64_t kRoundingFrames = 4;
    // Further off, a character's first mark moves this share of the way toward the timeline, at
    // most kNudgeSeconds...
    static constexpr std::int64_t kNudgeShare = 4;
    static constexpr double kNudgeSeconds = 0.001;
    // ...but a sequence further ahead than kJumpSeconds goes to the timeline at once.
    static constexpr double kJumpSeconds = 0.050;
    // Behind by more than kCatchUpSeconds, it catches up in the gap before each character,
    // shortening it by at most 1 / kCatchUpShare (a letter gap stays two units).
    static constexpr double kCatchUpSeconds = 0.005;
    static constexpr std::int64_t kCatchUpShare = 3;

    struct Placement {
        std::int64_t start = 0;
        std::int64_t end = 0;
        std::int64_t shift = 0;  // frames after its place on the timeline
    };

    explicit MarkPlacer(int frameRate = 48000) { restart(frameRate); }
    // A new stream: the sequence starts afresh.
    void restart(int frameRate);
    // Places `mark`, no earlier than frame `earliest`. It waited `waited` frames for the stream's
    // clock to be known: lateness no hand-over caused.
    Placement place(const KeyMark& mark, const FrameClock& clock, std::int64_t earliest,
                    std::int64_t waited = 0);
    // Nothing of the sequence sounds from `frame` on (a clear): what follows counts from there.
    void cutAt(std::int64_t frame);
    // How many marks of the sequence were placed more than a millisecond after their time.
    std::int64_t lateMarks() const { return lateMarks_; }

  private:
    std::int64_t sequenceFrame(TimePoint at) const;
    std::int64_t pullFor(std::int64_t off, const KeyMark& mark) const;

    int frameRate_ = 48000;
    bool known_ = false;            // a mark of the sequence has been placed on this stream
    std::int64_t anchorFrame_ = 0;  // where the sequence was last set: a frame and its time
    TimePoint anchorTime_{};
    std::int64_t end_ = 0;          // where the sequence's last mark ends
    std::int64_t stretchLate_ = 0;  // how late the busy stretch is to stay, in frames
    std::int64_t lateMarks_ = 0;
};

}  // namespace tone
