#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

#include "tone/sidetone_renderer.h"

namespace {

using tone::KeyMark;
using tone::SidetoneCommand;
using tone::TimePoint;

constexpr int kRate = 48000;
constexpr std::int16_t kHalf = 16384;  // half of full scale, where an edge's ramp passes

TimePoint ms(double v) {
    return TimePoint(std::llround(v * 1e6));
}
std::size_t frame(double atMs) {
    return static_cast<std::size_t>(std::llround(atMs * kRate / 1000));
}

// A mark of the keyer's sequence; its letter gap is 30 ms. With no keyed gap it follows a rest.
SidetoneCommand mark(std::uint64_t id, double startMs, double endMs, double keyedGapMs = 0,
                     bool afterRest = true, bool startsCharacter = true) {
    KeyMark m;
    m.id = id;
    m.start = ms(startMs);
    m.end = ms(endMs);
    m.keyedGap = ms(keyedGapMs);
    m.afterRest = afterRest;
    m.letterGap = ms(30);
    m.startsCharacter = startsCharacter;
    return {SidetoneCommand::Kind::Mark, m};
}
SidetoneCommand busy(std::uint64_t id, double startMs, double endMs, double keyedGapMs,
                     bool startsCharacter = true) {
    return mark(id, startMs, endMs, keyedGapMs, false, startsCharacter);
}

// A tone of constant full level: the output is the keying envelope itself, readable to the
// frame. The stream's frame 0 plays at time 0.
struct Flat {
    tone::ToneLoop loop{{std::vector<float>(100, 1.0F), 24000}, 24000};
    tone::SidetoneRenderer sidetone{kRate};
    std::optional<tone::FrameClock> clock = tone::FrameClock{TimePoint{}, 0, kRate};
    std::vector<std::int16_t> out;
    Flat() { sidetone.offerTone(&loop); }
    void apply(const SidetoneCommand& c) { sidetone.apply(c, clock); }
    // The device asks for the next frames as the one before them plays.
    TimePoint now() const { return ms(1000.0 * static_cast<double>(out.size()) / kRate); }
    // Renders up to `untilMs`, appending to `out`, 10 ms at a time as a device asks.
    void renderUntil(double untilMs, float gain = 1) {
        while (out.size() < frame(untilMs)) {
            std::vector<std::int16_t> more(std::min(frame(10), frame(untilMs) - out.size()));
            sidetone.render(more, clock, gain, now());
            out.insert(out.end(), more.begin(), more.end());
        }
    }
    void renderOnce(double untilMs, float gain = 1) {
        std::vector<std::int16_t> more(frame(untilMs) - out.size());
        sidetone.render(more, clock, gain, now());
        out.insert(out.end(), more.begin(), more.end());
    }
    // The frames where the level passes half way, up or down, in order.
    std::vector<std::size_t> edges() const {
        std::vector<std::size_t> at;
        for (std::size_t n = 1; n < out.size(); ++n) {
            if ((out[n - 1] < kHalf) != (out[n] < kHalf)) {
                at.push_back(n);
            }
        }
        return at;
    }
};

// Each edge passes half level exactly on the frame of its time, along a raised cosine.
TEST(Sidetone, EdgesPassHalfWayOnTheFramesOfTheirTimes) {
    Flat f;
    f.apply(mark(1, 100, 110));
    f.renderUntil(200);
    EXPECT_EQ(f.edges(), (std::vector<std::size_t>{frame(100), frame(110) + 1}));
    EXPECT_EQ(f.out[frame(100)], kHalf);
    EXPECT_EQ(f.out[frame(110)], kHalf);
    EXPECT_EQ(f.out[frame(100) - 120], 0);  // the ramp is 5 ms: 240 frames around the edge
    EXPECT_EQ(f.out[frame(100) + 120], 32767);
    EXPECT_LT(f.out[frame(100) - 60], f.out[frame(100) - 59]);
}

// Marks that come after their time sound as soon as a clean edge can begin. A mark of a busy
// stretch then keeps the gap the keyer left before it (a character's first mark less a step of
// at most 1 ms toward the timeline), so a character is never squeezed; after a rest the
// sidetone catches up, keeping at least a letter gap.
TEST(Sidetone, LateMarksSoundAtOnceKeepTheirGapsAndCatchUpAfterARest) {
    Flat f;
    f.renderUntil(104);                   // the stream is at 104 ms when these arrive
    f.apply(mark(1, 50, 60));             // due 54 ms ago
    f.apply(busy(2, 70, 80, 10, false));  // 10 ms after it, same character
    f.apply(mark(3, 130, 140, 50));       // after a rest of 50 ms: a letter gap at least
    f.apply(mark(4, 1000, 1010, 860));    // far enough ahead to be on time
    f.renderUntil(1100);
    const std::size_t first = frame(104) + 120;  // the ramp starts right away
    const std::size_t second = first + 480 + 480;
    const std::size_t third = second + 480 + 1440;
    EXPECT_EQ(f.edges(),
              (std::vector<std::size_t>{first, first + 480 + 1, second, second + 480 + 1, third,
                                        third + 480 + 1, frame(1000), frame(1010) + 1}));
}

// A busy stretch that falls behind (the device ran dry, a stall) catches up in the gaps between
// its characters, each shortened by a third at most; inside a character the gaps are kept.
TEST(Sidetone, ABusyStretchThatFallsBehindCatchesUpInTheGapsBetweenCharacters) {
    Flat f;
    f.apply(mark(1, 50, 60));
    f.apply(busy(2, 90, 100, 30));
    f.apply(busy(3, 110, 120, 10, false));  // the same character: its gap is kept
    for (std::uint64_t n = 4; n <= 9; ++n) {
        const double at = 150 + 40.0 * static_cast<double>(n - 4);
        f.apply(busy(n, at, at + 10, 30));  // letter gaps of 30 ms: 10 ms may go from each
    }
    f.renderUntil(60);
    const std::int64_t behind = 2220;  // the device stopped for 46.25 ms
    f.clock->originFrame -= static_cast<double>(behind);
    f.renderUntil(400);
    const std::size_t b = frame(80);  // each letter gap from here on gives 10 ms
    const std::vector<std::size_t> rises{frame(50),           b,
                                         b + frame(20),       b + frame(50),
                                         b + frame(80),       b + frame(110),
                                         frame(270) - behind,  // caught up: the last 6.25 ms whole
                                         frame(310) - behind, frame(350) - behind};
    std::vector<std::size_t> edges;
    for (std::size_t r : rises) {
        edges.push_back(r);
        edges.push_back(r + frame(10) + 1);
    }
    EXPECT_EQ(f.edges(), edges);
}

// A stretch that begins late because it was handed over late (the latency is shorter than the
// output's delay) keeps the keyer's rhythm: the next characters come as late. One that begins
// late because its marks waited for the stream's clock (a stream that stood still after it
// started) catches up in the gaps between characters, a third of each (10 ms here).
TEST(Sidetone, AStretchThatBeginsLateKeepsItsRhythmUnlessItWaitedForTheStream) {
    for (const bool waited : {false, true}) {
        SCOPED_TRACE(waited);
        Flat f;
        if (waited) {
            f.clock.reset();  // handed over at 0 ms; the clock is known from 104 ms on
        } else {
            f.renderUntil(104);  // the stream is at 104 ms when these arrive: 54 ms late
        }
        f.apply(mark(1, 50, 60));
        f.apply(busy(2, 90, 100, 30));
        f.apply(busy(3, 130, 140, 30));
        if (waited) {
            f.renderUntil(104);
            f.clock = tone::FrameClock{TimePoint{}, 0, kRate};
        }
        f.renderUntil(300);
        const std::size_t a = frame(104) + 120;  // the ramp starts right away
        const std::size_t gap = waited ? frame(30) : frame(40);
        EXPECT_EQ(f.edges(), (std::vector<std::size_t>{a, a + 481, a + gap, a + gap + 481,
                                                       a + 2 * gap, a + 2 * gap + 481}));
    }
}

TEST(Sidetone, ACutEndsTheSoundingMarkAtItsTimeAndDropsWhatFollows) {
    Flat f;
    f.apply(mark(1, 100, 300));
    f.apply(mark(2, 400, 500));
    f.renderUntil(150);
    f.apply({SidetoneCommand::Kind::CutFrom, {.start = ms(200)}});
    f.renderUntil(600);
    EXPECT_EQ(f.edges(), (std::vector<std::size_t>{frame(100), frame(200) + 1}));
    EXPECT_TRUE(f.sidetone.idle());
}

TEST(Sidetone, AHeldKeyComesUpWhenItsEndIsKnown) {
    Flat f;
    f.apply(mark(7, 100, 100100));  // a tune, let up by its watchdog unless told earlier
    f.renderUntil(500);
    f.apply({SidetoneCommand::Kind::EndMark, {.id = 7, .end = ms(600)}});
    f.renderUntil(700);
    EXPECT_EQ(f.edges(), (std::vector<std::size_t>{frame(100), frame(600) + 1}));
}

// The level is taken when a character begins: a change while one sounds reaches the next.
TEST(Sidetone, TheVolumeIsTakenWhenACharacterBegins) {
    Flat f;
    f.apply(mark(1, 100, 110));
    f.apply(busy(2, 120, 130, 10, false));  // the same character
    f.apply(mark(3, 200, 210, 70));
    f.renderUntil(115, 1.0F);
    f.renderUntil(300, 0.5F);
    EXPECT_EQ(f.out[frame(105)], 32767);
    EXPECT_EQ(f.out[frame(125)], 32767);
    EXPECT_EQ(f.out[frame(205)], 16384);
}

// A device change: what was heard on the old stream goes; what was not (also what was rendered
// but still queued there) keeps its time on the new stream, or sounds as soon as it can.
TEST(Sidetone, ANewStreamKeepsTheTimelineOfWhatWasNotHeard) {
    for (const double heardMs : {120.0, 90.0}) {
        Flat f;
        f.apply(mark(1, 100, 150));
        f.apply(mark(2, 300, 310, 150));
        f.renderUntil(120);
        f.sidetone.restart(44100, frame(heardMs));  // its frame 0 plays at 120 ms
        const std::optional<tone::FrameClock> clock = tone::FrameClock{ms(120), 0, 44100};
        std::vector<std::int16_t> out(44100 / 2);
        f.sidetone.render(out, clock, 1, ms(120));
        const auto second = static_cast<std::size_t>(std::llround(0.180 * 44100));
        if (heardMs > 100) {
            EXPECT_EQ(out[0], 0);  // the first mark was heard on the old stream
        } else {
            EXPECT_EQ(out[300], 32767);  // not heard: it sounds now, late
        }
        EXPECT_LT(out[second - 1], kHalf);
        EXPECT_GE(out[second], kHalf);
    }
}

// A mark is placed 20 ms before the block that sounds it: one reading of the stream's position in
// doubt (which places nothing new) does not make it late; a correction of the timeline found
// shortly before it still moves it.
TEST(Sidetone, MarksArePlacedShortlyBeforeTheyAreDue) {
    Flat doubt;
    doubt.apply(mark(1, 110, 150));
    doubt.renderUntil(100);
    doubt.clock.reset();  // in doubt for one fill
    doubt.renderOnce(112);
    doubt.clock = tone::FrameClock{TimePoint{}, 0, kRate};
    doubt.renderUntil(200);
    EXPECT_EQ(doubt.edges().front(), frame(110));

    Flat moved;
    moved.apply(mark(1, 300, 340));
    moved.renderUntil(150);
    moved.clock->originFrame = 480;  // the stream is found to play 10 ms later
    moved.renderUntil(400);
    EXPECT_EQ(moved.edges().front(), frame(300) + 480);
}

}  // namespace
