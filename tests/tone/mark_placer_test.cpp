#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "tone/mark_placer.h"

namespace {

using tone::FrameClock;
using tone::KeyMark;
using tone::MarkPlacer;
using tone::TimePoint;

constexpr int kRate = 48000;  // 48 frames a millisecond

TimePoint ms(double v) {
    return TimePoint(std::llround(v * 1e6));
}
std::int64_t frames(double atMs) {
    return std::llround(atMs * kRate / 1000);
}

// A mark of the keyer's sequence at 20 wpm (a letter gap of 180 ms), in milliseconds.
KeyMark mark(double startMs, double endMs, double keyedGapMs, bool afterRest,
             bool startsCharacter = true) {
    KeyMark m;
    m.start = ms(startMs);
    m.end = ms(endMs);
    m.keyedGap = ms(keyedGapMs);
    m.afterRest = afterRest;
    m.letterGap = ms(180);
    m.startsCharacter = startsCharacter;
    return m;
}

// Frame n plays at n / 48 ms, moved by `offFrames`.
FrameClock clockOff(double offFrames) {
    return {TimePoint{}, offFrames, kRate};
}

// A sequence begins on the timeline at 1000 ms (a dit, then the letter gap); then the timeline is
// found `offFrames` later, and the next character's first mark (at 1240 ms) is placed: where does
// it start, against where the sequence alone would put it?
std::int64_t pullAfter(double offFrames, double keyedGapMs = 180) {
    MarkPlacer p(kRate);
    p.place(mark(1000, 1060, 0, true), clockOff(0), 0);
    const auto placed = p.place(mark(1240, 1300, keyedGapMs, false), clockOff(offFrames), 0);
    return placed.start - frames(1240);
}

// Off by no more than the rounding of frames, the sequence is set on the timeline whole; further
// off, it is pulled a quarter of the way, at most a millisecond; far ahead of the timeline (50 ms
// and more), it goes there at once. Behind it by more than 5 ms, it catches up in the letter
// gap, a third of it at most.
TEST(MarkPlacer, ABusySequenceIsPulledTowardTheTimelineByRule) {
    const struct {
        const char* rule;
        double off;       // frames the timeline is found later (+) or earlier (-)
        double keyedGap;  // before the character, ms
        std::int64_t pull;
    } cases[] = {
        {"within the rounding: whole", 3, 180, 3},
        {"within the rounding, earlier: whole", -4, 180, -4},
        {"beyond the rounding: a quarter", 20, 180, 5},
        {"a quarter of 40 frames", 40, 180, 10},
        {"at most a millisecond", 400, 180, 48},
        {"25 ms ahead is nudged, not jumped", 1200, 180, 48},
        {"far ahead: at once", 4800, 180, 4800},
        {"2 ms behind is nudged", -100, 180, -25},
        {"6.25 ms behind catches up whole", -300, 180, -300},
        {"far behind: a third of the letter gap", -9000, 180, -2880},
        {"far behind: a third of a short gap", -9000, 30, -480},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(pullAfter(c.off, c.keyedGap), c.pull) << c.rule;
    }
}

// Inside a character the keyed gaps are kept whole: only a character's first mark moves.
TEST(MarkPlacer, InsideACharacterTheKeyedGapsAreKept) {
    MarkPlacer p(kRate);
    p.place(mark(1000, 1060, 0, true), clockOff(0), 0);
    const auto second = p.place(mark(1120, 1300, 60, false, false), clockOff(300), 0);
    EXPECT_EQ(second.start, frames(1120));
    const auto third = p.place(mark(1480, 1540, 180, false), clockOff(300), 0);
    EXPECT_EQ(third.start, frames(1480) + 48);  // the next character moves, 1 ms
}

// A mark that comes too late sounds as soon as it can. If it begins a stretch, the stretch keeps
// that lateness and its rhythm (there is nothing to catch up with: the latency is shorter than
// the output's delay); a mark after a rest goes back to the timeline, a letter gap at least
// after what sounded last.
TEST(MarkPlacer, ALateStretchKeepsItsRhythmAndARestEndsIt) {
    MarkPlacer p(kRate);
    const auto first = p.place(mark(1000, 1060, 0, true), clockOff(0), frames(1030));
    EXPECT_EQ(first.start, frames(1030));
    EXPECT_EQ(first.shift, frames(30));
    const auto second = p.place(mark(1240, 1300, 180, false), clockOff(0), 0);
    EXPECT_EQ(second.start, frames(1270));
    // After a rest of 10 ms more than a letter gap: a letter gap after the 1300 ms mark ended
    // (at 1330), not on its own time.
    const auto rested = p.place(mark(1490, 1550, 190, true), clockOff(0), 0);
    EXPECT_EQ(rested.start, frames(1330 + 180));
    // After a long rest, on the timeline.
    const auto later = p.place(mark(5000, 5060, 3450, true), clockOff(0), 0);
    EXPECT_EQ(later.start, frames(5000));
    EXPECT_EQ(p.lateMarks(), 3);  // more than a millisecond late: all but the last
}

// A stretch that began late only because its marks waited for the stream's clock (a start or a
// resume that stood still) catches that up in the gaps between characters, a third of each at
// most; what its hand-over made late it keeps.
TEST(MarkPlacer, AStretchLateForItsStreamCatchesUpWhatItWaited) {
    const struct {
        double waitedMs;
        double secondAtMs;  // the next character, keyed at 1240 ms after a 180 ms gap
        double thirdAtMs;   // and the one after it, keyed at 1480 ms
    } cases[] = {
        {30, 1240, 1480},  // all of the lateness waited: on time at the next character
        {20, 1250, 1490},  // 10 ms came from the hand-over: kept, with the rhythm
        {0, 1270, 1510},   // none waited: the stretch keeps its lateness
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.waitedMs);
        MarkPlacer p(kRate);
        p.place(mark(1000, 1060, 0, true), clockOff(0), frames(1030), frames(c.waitedMs));
        EXPECT_EQ(p.place(mark(1240, 1300, 180, false), clockOff(0), 0).start,
                  frames(c.secondAtMs));
        EXPECT_EQ(p.place(mark(1480, 1540, 180, false), clockOff(0), 0).start, frames(c.thirdAtMs));
    }
    // Much later than a third of a letter gap: it catches up a third of each gap.
    MarkPlacer p(kRate);
    p.place(mark(1000, 1060, 0, true), clockOff(0), frames(1100), frames(100));
    EXPECT_EQ(p.place(mark(1240, 1300, 180, false), clockOff(0), 0).start, frames(1280));
    EXPECT_EQ(p.place(mark(1480, 1540, 180, false), clockOff(0), 0).start, frames(1480));
}

// A clear cuts the sequence: what follows after a rest counts its letter gap from the cut, not
// from where the cut mark was to end (a key-down of minutes cut after two seconds).
TEST(MarkPlacer, ACutSequenceCountsFromTheCut) {
    MarkPlacer p(kRate);
    p.place(mark(1000, 256000, 0, true), clockOff(0), 0);
    p.cutAt(frames(3000));
    const auto next = p.place(mark(3100, 3160, 100, true), clockOff(0), 0);
    EXPECT_EQ(next.start, frames(3100));
}

// The sequence is counted from where it was last set, so frames do not round up along it: a
// long sequence whose gaps are not whole frames stays within a frame of its times.
TEST(MarkPlacer, FramesDoNotRoundUpAlongASequence) {
    MarkPlacer p(kRate);
    constexpr double kPeriod = 1.0104;  // ms: 48.5 frames
    double worst = 0;
    for (int i = 0; i < 200; ++i) {
        const double at = 1000 + i * kPeriod;
        const auto placed =
            p.place(mark(at, at + kPeriod / 2, kPeriod / 2, i == 0, false), clockOff(0), 0);
        worst = std::max(worst, std::abs(static_cast<double>(placed.start) - at * 48));
    }
    EXPECT_LE(worst, 1.0);
}

// A tune held over the sequence sits on the timeline and leaves the sequence as it was.
TEST(MarkPlacer, ATuneIsNotPartOfTheSequence) {
    MarkPlacer p(kRate);
    p.place(mark(1000, 1060, 0, true), clockOff(0), 0);
    KeyMark tune = mark(1100, 2100, 0, false);
    tune.inSequence = false;
    EXPECT_EQ(p.place(tune, clockOff(500), 0).start, frames(1100) + 500);
    EXPECT_EQ(p.place(mark(1240, 1300, 180, false), clockOff(0), 0).start, frames(1240));
}

}  // namespace
