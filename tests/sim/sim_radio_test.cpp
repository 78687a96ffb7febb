// The simulated radio's pure parts: the delay and its steps, where the sound server's reports
// put each frame, and the sound itself (the key edges on their frames, the noise, the second
// station).
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "delay_schedule.h"
#include "edge_reader.h"
#include "frame_clock.h"
#include "options.h"
#include "radio_delay.h"
#include "radio_sound.h"

namespace {

using namespace std::chrono_literals;
using delays::DelaySchedule;
using delays::Step;
using sim::Duration;
using sim::Time;

Time at(Duration d) {
    return Time(d);
}
double ms(Duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

TEST(DelaySchedule, ReadsDelaysAndStepsAsWritten) {
    struct Case {
        const char* text;
        bool step;
        bool ok;
        Duration at;
        Duration delay;
    } cases[] = {
        {"250", false, true, 0ns, 250ms},  {"12.5", false, true, 0ns, 12500us},
        {"0", false, true, 0ns, 0ms},      {"3600000", false, true, 0ns, 3600s},
        {"3600001", false, false, {}, {}}, {"-5", false, false, {}, {}},
        {"1e3", false, false, {}, {}},     {"", false, false, {}, {}},
        {"250ms", false, false, {}, {}},   {"12.5:400", true, true, 12500ms, 400ms},
        {"0:0", true, true, 0ns, 0ns},     {"12:", true, false, {}, {}},
        {":400", true, false, {}, {}},     {"12;400", true, false, {}, {}},
        {"12:400:5", true, false, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        if (c.step) {
            const auto step = delays::parseStep(c.text);
            ASSERT_EQ(step.has_value(), c.ok);
            if (c.ok) {
                EXPECT_EQ(*step, (Step{c.at, c.delay}));
            }
        } else {
            const auto delay = delays::parseDelayMs(c.text);
            ASSERT_EQ(delay.has_value(), c.ok);
            if (c.ok) {
                EXPECT_EQ(*delay, c.delay);
            }
        }
    }
}

TEST(DelaySchedule, TheLatestStepAtOrBeforeTheMomentHolds) {
    // Given out of order; two at 20 s: the one given last holds.
    const DelaySchedule schedule(250ms, {{20s, 100ms}, {10s, 400ms}, {20s, 600ms}});
    const std::pair<Duration, Duration> expected[] = {{0s, 250ms},  {9999ms, 250ms}, {10s, 400ms},
                                                      {19s, 400ms}, {20s, 600ms},    {1h, 600ms}};
    for (const auto& [since, delay] : expected) {
        EXPECT_EQ(schedule.at(since), delay) << ms(since);
    }
}

// The radio's delay: edges given as (keyer's moment, down); the moments they are played at.
struct Keyed {
    Duration at;
    bool down;
    Duration played;
};

void expectPlayed(sim::RadioDelay delay, const std::vector<Keyed>& edges) {
    const Duration unit = 40ms;  // word gap: 5 units = 200 ms
    for (const Keyed& e : edges) {
        EXPECT_EQ(ms(delay.play(at(e.at), e.down, unit) - at(0s)), ms(e.played))
            << "edge at " << ms(e.at) << " ms";
    }
}

TEST(RadioDelay, EdgesPlayTheDelayLaterAndAStepWaitsForTheNextWord) {
    const DelaySchedule schedule(250ms, {{1s, 400ms}});
    expectPlayed(sim::RadioDelay(schedule, at(0s)),
                 {
                     {900ms, true, 1150ms},  // a word before the step
                     {940ms, false, 1190ms},
                     {1060ms, true, 1310ms},  // after a letter gap: same word, same delay
                     {1100ms, false, 1350ms},
                     {1380ms, true, 1780ms},  // a word gap: the new delay
                     {1420ms, false, 1820ms},
                 });
}

TEST(RadioDelay, AShorterDelayNeverRunsTwoWordsTogether) {
    const DelaySchedule schedule(400ms, {{1s, 100ms}});
    expectPlayed(sim::RadioDelay(schedule, at(0s)),
                 {
                     {900ms, true, 1300ms},
                     {940ms, false, 1340ms},
                     // 300 ms of silence at the keyer; the cut of 300 ms would leave none: the
                     // radio keeps a word gap of 200 ms and takes the rest at the next word.
                     {1240ms, true, 1540ms},
                     {1280ms, false, 1580ms},
                     // After a long silence, the whole new delay.
                     {3000ms, true, 3100ms},
                     {3040ms, false, 3140ms},
                 });
}

TEST(FrameClock, FollowsTheServersReportsSmoothlyAndStartsAfreshAfterAJump) {
    sim::FrameClock clock(48000);
    EXPECT_FALSE(clock.known());
    clock.report(48000, at(2s));  // frame 48000 plays at 2 s: frame 0 at 1 s
    ASSERT_TRUE(clock.known());
    EXPECT_DOUBLE_EQ(ms(clock.timeOf(0) - at(0s)), 1000);
    EXPECT_NEAR(clock.frameAt(at(1500ms)), 24000, 1e-6);
    // A report 1.6 ms late moves the estimate a sixteenth of the way: 0.1 ms.
    clock.report(96000, at(3001600us));
    EXPECT_NEAR(ms(clock.timeOf(0) - at(0s)), 1000.1, 1e-6);
    // One report 20 ms off is doubted; three in a row are a jump.
    clock.report(96000, at(3020ms));
    EXPECT_NEAR(ms(clock.timeOf(0) - at(0s)), 1000.1, 1e-6);
    clock.report(96000, at(3020ms));
    clock.report(96000, at(3020ms));
    EXPECT_NEAR(ms(clock.timeOf(0) - at(0s)), 1020, 1e-6);
}

constexpr int kRate = 48000;
constexpr double kFull = sim::RadioSound::kLevel * 32768;

std::vector<std::int16_t> render(sim::RadioSound& sound, std::size_t frames) {
    std::vector<std::int16_t> out(frames);
    for (std::size_t first = 0; first < frames; first += 240) {  // in blocks, as played
        sound.render(static_cast<std::int64_t>(first),
                     std::span(out).subspan(first, std::min<std::size_t>(240, frames - first)));
    }
    return out;
}

TEST(RadioSound, EachEdgeIsAtHalfLevelOnItsOwnFrameAfterARampOf5Ms) {
    sim::RadioSoundSettings settings;
    sim::RadioSound sound(settings);
    const double edges[] = {4800.25, 6000.5, 7000.75, 9100.0};
    for (std::size_t i = 0; i < std::size(edges); ++i) {
        sound.key(edges[i], i % 2 == 0);
    }
    const auto samples = render(sound, 12000);
    const auto heard = radio_test::heardEdges(samples, kRate, 700, kFull);
    ASSERT_EQ(heard.size(), std::size(edges));
    for (std::size_t i = 0; i < heard.size(); ++i) {
        EXPECT_NEAR(heard[i].frame, edges[i], 10);  // 0.2 ms: as close as the reader reads
        EXPECT_EQ(heard[i].down, i % 2 == 0);
    }
    // Silent until half a ramp (120 frames) before the first edge, full from half a ramp after.
    auto peak = [&](std::size_t from, std::size_t to) {
        int p = 0;
        for (std::size_t n = from; n < to; ++n) {
            p = std::max(p, std::abs(static_cast<int>(samples[n])));
        }
        return p;
    };
    EXPECT_EQ(peak(0, 4800 - 121), 0);
    EXPECT_GT(peak(4800 - 110, 4800), 0);
    EXPECT_NEAR(peak(4800 + 121, 6000 - 121), kFull, 2);
    EXPECT_LT(peak(4800 + 100 - 20, 4800 + 100), kFull * 0.99);
}

TEST(RadioSound, NoiseSitsTheGivenDecibelsBelowTheTone) {
    for (double db : {0.0, 6.0, 20.0}) {
        sim::RadioSoundSettings settings;
        settings.noiseDb = db;
        sim::RadioSound sound(settings);
        const auto samples = render(sound, kRate);
        double power = 0;
        for (auto v : samples) {
            power += static_cast<double>(v) * v;
        }
        const double toneRms = kFull / std::sqrt(2.0);
        EXPECT_NEAR(20 * std::log10(toneRms / std::sqrt(power / kRate)), db, 0.2) << db;
    }
}

TEST(RadioSound, TheSecondStationKeysOnItsOwnAtItsPitchAndAsLoud) {
    sim::RadioSoundSettings settings;
    settings.secondHz = 1000;
    sim::RadioSound sound(settings);
    const auto samples = render(sound, 10 * kRate);
    const auto heard = radio_test::heardEdges(samples, kRate, 1000, kFull);
    EXPECT_GT(heard.size(), 40u);  // a few words in ten seconds
    int peak = 0;
    for (auto v : samples) {
        peak = std::max(peak, std::abs(static_cast<int>(v)));
    }
    EXPECT_NEAR(peak, kFull, 2);
}

TEST(RadioOptions, TheCommandLineSetsTheRadioOrIsRefused) {
    struct Case {
        std::vector<std::string> args;
        bool ok;
    } cases[] = {
        {{"--radio-sink", "cwtest2"}, true},
        {{"--radio-sink", "cwtest2", "--radio-delay", "80", "--radio-step", "5:400", "--radio-step",
          "9.5:120", "--radio-pitch", "650", "--radio-noise", "6", "--radio-second", "950",
          "--radio-log", "r.log"},
         true},
        {{"--radio-delay", "80"}, false},  // no sink
        {{"--radio-sink", ""}, false},
        {{"--radio-sink", "s", "--radio-delay", "fast"}, false},
        {{"--radio-sink", "s", "--radio-step", "5"}, false},
        {{"--radio-sink", "s", "--radio-pitch", "50"}, false},
        {{"--radio-sink", "s", "--radio-second", "9000"}, false},
        {{"--radio-sink", "s", "--radio-noise", "loud"}, false},
        {{"--radio-sink", "s", "--radio-delay"}, false},
        {{"--speed", "28x"}, false},
    };
    for (const Case& c : cases) {
        const auto options = sim::parseOptions(c.args);
        EXPECT_EQ(options.has_value(), c.ok) << testing::PrintToString(c.args);
    }
    const auto o = sim::parseOptions(cases[1].args);
    ASSERT_TRUE(o);
    EXPECT_EQ(o->radio.sink, "cwtest2");
    EXPECT_EQ(o->radio.delay, 80ms);
    EXPECT_EQ(o->radio.steps, (std::vector<Step>{{5s, 400ms}, {9500ms, 120ms}}));
    EXPECT_EQ(o->radio.pitchHz, 650);
    EXPECT_EQ(o->radio.noiseDb, 6);
    EXPECT_EQ(o->radio.secondHz, 950);
    EXPECT_EQ(o->radio.logFile, "r.log");
    EXPECT_EQ(sim::parseOptions({})->radio.delay, 250ms);
    EXPECT_EQ(sim::parseOptions({})->radio.pitchHz, 700);
}

}  // namespace
