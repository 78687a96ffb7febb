#pragma once

#include <chrono>
#include <cmath>
#include <cstdint>

// What the monitor's planner (on the window's thread) and the sidetone (on the audio thread)
// share: time, the key marks the planner hands over and the commands the sidetone takes.
// Nothing else passes between them.
namespace tone {

// Monotonic time since the clock's epoch, or a span of it.
using TimePoint = std::chrono::nanoseconds;
inline constexpr TimePoint kNever = TimePoint::max();

inline double toSeconds(TimePoint t) {
    return std::chrono::duration<double>(t).count();
}
inline TimePoint fromSeconds(double seconds) {
    return TimePoint(std::llround(seconds * 1e9));
}
// A span as a whole number of frames at `rate` frames a second, rounded to the nearest.
inline std::int64_t framesIn(TimePoint span, double rate) {
    return std::llround(toSeconds(span) * rate);
}

// One key-down stretch on the monitor's timeline, as the keyer keys it.
struct KeyMark {
    std::uint64_t id = 0;  // increasing in the order marks are handed over
    TimePoint start{};
    TimePoint end{};  // kNever while the key stays down (tune) until an EndMark
    // The silence the keyer keyed before this mark, from the end of the mark before it in the
    // keyer's sequence: an element space inside a character, a letter or word gap between
    // characters, the whole rest after one (zero before the first mark).
    TimePoint keyedGap{};
    // The keyer had nothing to key just before this mark: a new stretch of keying begins here.
    bool afterRest = true;
    // The letter gap at this mark's speed: the least silence kept before a character.
    TimePoint letterGap{};
    bool startsCharacter = true;  // the first mark of a character: its level is taken here
    // Part of the keyer's sequence of characters; false for a tune, which is held over it.
    bool inSequence = true;
    bool operator==(const KeyMark&) const = default;
};

// What the sidetone is to do.
struct SidetoneCommand {
    enum class Kind : std::uint8_t {
        Mark,     // key `mark`
        EndMark,  // the mark `mark.id` ends at `mark.end` instead
        CutFrom,  // from `mark.start` on nothing sounds: later marks go, a sounding one ends
    };
    Kind kind = Kind::Mark;
    KeyMark mark;
};

}  // namespace tone
