#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "tone/sidetone.h"
#include "tone/sidetone_source.h"

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

SidetoneCommand mark(std::uint64_t id, double startMs, double endMs, double gapMs = 0,
                     bool startsCharacter = true) {
    KeyMark m;
    m.id = id;
    m.start = ms(startMs);
    m.end = endMs < 0 ? tone::kNever : ms(endMs);
    m.gapBefore = ms(gapMs);
    m.startsCharacter = startsCharacter;
    return {SidetoneCommand::Kind::Mark, m};
}

// A tone of constant full level: the output is the keying envelope itself, readable to the
// frame. The stream's frame 0 plays at time 0.
struct Flat {
    tone::ToneLoop loop{{std::vector<float>(100, 1.0F), 24000}, 24000};
    tone::Sidetone sidetone{kRate};
    tone::FrameClock clock{TimePoint{}, 0, kRate};
    std::vector<std::int16_t> out;
    Flat() { sidetone.offerTone(&loop); }
    void apply(const SidetoneCommand& c) { sidetone.apply(c); }
    // Renders up to `untilMs`, appending to `out`.
    void renderUntil(double untilMs, float gain = 1) {
        std::vector<std::int16_t> more(frame(untilMs) - out.size());
        sidetone.render(more, &clock, gain);
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
    f.apply(mark(2, 70, 80, 10, false));  // 10 ms after it, same character
    f.apply(mark(3, 130, 140, 30));       // after a rest of 50 ms: at least 30 ms
    f.apply(mark(4, 1000, 1010, 30));     // far enough ahead to be on time
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
    f.apply(mark(2, 90, 100, 30));
    f.apply(mark(3, 110, 120, 10, false));  // the same character: its gap is kept
    for (std::uint64_t n = 4; n <= 9; ++n) {
        const double at = 150 + 40.0 * static_cast<double>(n - 4);
        f.apply(mark(n, at, at + 10, 30));  // letter gaps of 30 ms: 10 ms may go from each
    }
    f.renderUntil(60);
    const std::int64_t behind = 2220;  // the device stopped for 46.25 ms
    f.clock.originFrame -= static_cast<double>(behind);
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

// A stretch that begins late, because the latency is shorter than the output's delay, keeps
// the keyer's rhythm: there is nothing to catch up with.
TEST(Sidetone, AStretchThatBeginsLateKeepsItsRhythm) {
    Flat f;
    f.renderUntil(104);  // the stream is at 104 ms when these arrive: 54 ms late
    f.apply(mark(1, 50, 60));
    f.apply(mark(2, 90, 100, 30));
    f.apply(mark(3, 130, 140, 30));
    f.renderUntil(300);
    const std::size_t a = frame(104) + 120;  // the ramp starts right away
    EXPECT_EQ(f.edges(), (std::vector<std::size_t>{a, a + 481, a + frame(40), a + frame(40) + 481,
                                                   a + frame(80), a + frame(80) + 481}));
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
    f.apply(mark(7, 100, -1));
    f.renderUntil(500);
    f.apply({SidetoneCommand::Kind::EndMark, {.id = 7, .end = ms(600)}});
    f.renderUntil(700);
    EXPECT_EQ(f.edges(), (std::vector<std::size_t>{frame(100), frame(600) + 1}));
}

// The level is taken when a character begins: a change while one sounds reaches the next.
TEST(Sidetone, TheVolumeIsTakenWhenACharacterBegins) {
    Flat f;
    f.apply(mark(1, 100, 110));
    f.apply(mark(2, 120, 130, 10, false));  // the same character
    f.apply(mark(3, 200, 210, 70));
    f.renderUntil(115, 1.0F);
    f.renderUntil(300, 0.5F);
    EXPECT_EQ(f.out[frame(105)], 32767);
    EXPECT_EQ(f.out[frame(125)], 32767);
    EXPECT_EQ(f.out[frame(205)], 16384);
}

// A device change: what has begun may be cut; what has not keeps its time on the new stream.
TEST(Sidetone, ANewStreamKeepsTheTimelineOfWhatHasNotBegun) {
    Flat f;
    f.apply(mark(1, 100, 150));
    f.apply(mark(2, 300, 310, 150));
    f.renderUntil(120);
    f.sidetone.restart(44100);  // its frame 0 plays at 120 ms
    const tone::FrameClock clock{ms(120), 0, 44100};
    std::vector<std::int16_t> out(44100 / 2);
    f.sidetone.render(out, &clock, 1);
    const auto second = static_cast<std::size_t>(std::llround(0.180 * 44100));
    EXPECT_EQ(out[0], 0);  // the first mark went with the old stream
    EXPECT_LT(out[second - 1], kHalf);
    EXPECT_GE(out[second], kHalf);
}

// A device that reports what it has played only in steps (50 ms for a long buffer, 10 ms for a
// short one), at refills 6 to 14 ms apart, and that stands still for a while after it starts
// and after a rest before it plays. Every mark still sounds at its time, within the few
// milliseconds by which the freshest of the first readings still lags; to the millisecond when
// the device also keeps a running count of what it played.
TEST(SidetoneSource, MarksKeepTheirTimesOnADeviceThatReportsInStepsAndStartsLate) {
    struct Device {
        double bufferMs;
        bool ownCount;
    };
    for (const auto [bufferMs, ownCount] : {Device{300, false}, {60, false}, {300, true}}) {
        const auto buffer = static_cast<std::int64_t>(frame(bufferMs));
        const auto step = static_cast<std::int64_t>(frame(bufferMs / 6));
        tone::SidetoneSource source;
        source.startStream(kRate);
        source.setTone(tone::ToneSample{std::vector<float>(100, 1.0F), 24000}, 24000);
        source.setVolume(0);
        // Plays from 250 ms on; rests (suspended, not refilled) from 1500 to 1700 ms; after the
        // rest it plays again at 1800 ms, first what it had queued.
        const auto played = [](double t) {
            const double beforeRest = std::clamp(t, 250.0, 1500.0) - 250;
            return static_cast<std::int64_t>((beforeRest + std::max(t - 1800, 0.0)) * kRate / 1000);
        };
        const auto heardAt = [](double f) {  // when frame f plays, in ms
            const double beforeRest = f * 1000 / kRate;
            return beforeRest < 1250 ? 250 + beforeRest : 1800 + beforeRest - 1250;
        };
        const std::vector<double> times{600, 800, 1000, 1200, 1900 + bufferMs, 2400, 3000};
        std::uint64_t id = 0;
        for (double t : times) {
            ASSERT_TRUE(source.post(mark(++id, t, t + 20, 30)));
        }
        std::vector<std::int16_t> out;
        std::int64_t written = 0;
        std::uint32_t scatter = 7;
        for (double t = 0; t < 3200;) {
            if (t >= 1500 && t < 1700) {
                t = 1700;
                source.streamMoved();  // resumed after the rest
            }
            const std::int64_t reported = played(t) / step * step;
            std::vector<std::int16_t> block(
                static_cast<std::size_t>(buffer - (written - reported)));
            source.render(block, {ms(t), written, written - reported, ownCount ? played(t) : -1});
            out.insert(out.end(), block.begin(), block.end());
            written += std::ssize(block);
            scatter = scatter * 1664525U + 1013904223U;
            t += 6 + (scatter >> 16) % 9;
        }
        std::vector<double> rises;
        for (std::size_t n = 1; n < out.size(); ++n) {
            if (out[n - 1] < kHalf && out[n] >= kHalf) {
                rises.push_back(heardAt(static_cast<double>(n)));
            }
        }
        ASSERT_EQ(rises.size(), times.size()) << bufferMs;
        for (std::size_t i = 0; i < times.size(); ++i) {
            EXPECT_NEAR(rises[i], times[i], ownCount ? 1.0 : 6.0)
                << bufferMs << " ms buffer, mark at " << times[i];
        }
    }
}

// A half-scale 600 Hz sine at 24000 samples per second, played at 4 x pitch: pitch / 10 Hz.
std::optional<tone::ToneSample> sine() {
    tone::ToneSample s{{}, 24000};
    for (int n = 0; n < 24000; ++n) {
        s.samples.push_back(static_cast<float>(0.5 * std::sin(std::numbers::pi * n / 20)));
    }
    return s;
}

// The pitch heard in the middle of a 200 ms mark at `atMs`, from its zero crossings.
double pitchAt(const std::vector<std::int16_t>& s, double atMs) {
    int crossings = 0;
    for (std::size_t n = frame(atMs + 50); n < frame(atMs + 150); ++n) {
        crossings += (s[n - 1] < 0) != (s[n] < 0);
    }
    return crossings / 2.0 / 0.1;
}

// The tone changes at the next silent moment: a change while the sidetone rests is heard on
// the next character, and of many changes the last one wins.
TEST(SidetoneSource, ThePitchSetLastIsHeardOnTheNextCharacter) {
    for (int changes : {1, 100}) {
        tone::SidetoneSource source;
        source.startStream(kRate);
        source.setTone(sine(), 4 * 6000.0);
        std::vector<std::int16_t> heard(frame(1000));
        std::span<std::int16_t> rest(heard);
        const auto renderTo = [&](double untilMs) {  // 10 ms at a time, as a device asks
            while (heard.size() - rest.size() < frame(untilMs)) {
                const std::size_t done = heard.size() - rest.size();
                const std::size_t n = std::min(frame(10), frame(untilMs) - done);
                platform::StreamPosition p{ms(1000.0 * static_cast<double>(done) / kRate),
                                           static_cast<std::int64_t>(done), 0};
                source.render(rest.first(n), p);
                rest = rest.subspan(n);
            }
        };
        ASSERT_TRUE(source.post(mark(1, 100, 300)));
        renderTo(400);
        for (int i = 1; i <= changes; ++i) {
            source.setTone(sine(), 4 * (6000.0 - 10 * i));  // down to 5990 or 5000
        }
        ASSERT_TRUE(source.post(mark(2, 500, 700, 200)));
        renderTo(1000);
        EXPECT_NEAR(pitchAt(heard, 100), 600, 10);
        EXPECT_NEAR(pitchAt(heard, 500), 600 - changes, 10) << changes;
    }
}

}  // namespace
