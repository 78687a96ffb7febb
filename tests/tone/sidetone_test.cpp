#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

#include "tone/keying_reader.h"
#include "tone/monitor.h"
#include "tone/sidetone.h"
#include "tone/sidetone_source.h"
#include "tone/wave_file.h"

namespace {

constexpr int kRate = 48000;

// Plays `codes` through the monitor and renders the run from 100 ms on, with a tone shaped as
// the shipped one: a half-scale 600 Hz sine at 24000 samples per second, played at 4 x pitch.
std::vector<std::int16_t> renderCodes(const std::string& codes, double wpm, int volume,
                                      double pitch, double seconds) {
    tone::ToneLoop loop{{{}, 24000}, 4 * pitch};
    for (int n = 0; n < 24000; ++n) {
        loop.sample.samples.push_back(
            static_cast<float>(0.5 * std::sin(std::numbers::pi * n / 20)));
    }
    tone::Sidetone sidetone(kRate);
    sidetone.offerTone(&loop);
    tone::Monitor monitor({[] { return 0.0; }, [wpm] { return wpm; }, [volume] { return volume; }},
                          [&](const tone::PlayedCharacter& c) { sidetone.place(c, kRate / 10); });
    monitor.replaceQueue(codes);
    for (std::chrono::milliseconds now{1}; monitor.needsTicks(); ++now) {
        monitor.tick(now);
    }
    std::vector<std::int16_t> out(static_cast<std::size_t>(seconds * kRate));
    sidetone.render(out);
    return out;
}

TEST(Sidetone, RenderedMarksAndSpacesFollowTheSchedule) {
    const struct {
        const char* codes;
        std::vector<double> units;                                 // marks and spaces in turn
    } cases[] = {{"84698384", {3, 3, 1, 3, 1, 1, 1, 1, 1, 3, 3}},  // T E S T
                 {"693269", {1, 7, 1}},                            // E, word space, E
                 {"699765", {1, 5, 1, 1, 3}}};  // E, a (not in the table: a closing gap), A
    const double level = 0.5 * 32767 * std::pow(10, -2000 / 2000.0);
    for (const auto& c : cases) {
        const auto st = keying::marksAndSpaces(renderCodes(c.codes, 28, -2000, 6000, 1.5), kRate,
                                               600, level / 2);
        ASSERT_EQ(st.size(), c.units.size()) << c.codes;
        for (std::size_t i = 0; i < st.size(); ++i) {
            EXPECT_EQ(st[i].keyed, i % 2 == 0) << c.codes << ' ' << i;
            // The reading blurs edges a little.
            EXPECT_NEAR(st[i].frames * 1000.0 / kRate, c.units[i] * 1150.0 / 28, 0.5)
                << c.codes << ' ' << i;
        }
    }
}

// Pitch from the zero crossings inside a dah at 5 wpm (690 ms from 100 ms on, away from its
// edges): 4 x pitch samples per second of the file's 600 Hz at 24000/s sound pitch / 10 Hz.
// Level from the peak: 10^(volume / 2000) of the half-scale tone.
TEST(Sidetone, PitchAndLevelFollowTheControls) {
    const struct {
        double pitch;
        int volume;
    } cases[] = {{3000, 0}, {6000, -2000}, {8000, -3000}};
    for (const auto& c : cases) {
        const auto s = renderCodes("84", 5, c.volume, c.pitch, 0.8);
        int crossings = 0;
        const std::size_t from = kRate / 10 + kRate / 50;
        for (std::size_t n = from + 1; n < from + kRate / 2; ++n) {
            crossings += (s[n - 1] < 0) != (s[n] < 0);
        }
        EXPECT_NEAR(crossings / 2.0 / 0.5, c.pitch / 10, 2) << c.pitch;
        int peak = 0;
        for (auto v : s) {
            peak = std::max(peak, std::abs(static_cast<int>(v)));
        }
        const double want = 0.5 * 32767 * std::pow(10.0, c.volume / 2000.0);
        EXPECT_NEAR(peak, want, want * 0.01 + 1) << c.volume;
    }
    EXPECT_EQ(tone::volumeGain(-10000), 0);
}

// With a tone of constant full level the output is the keying envelope itself: edges can be
// read to the frame.
struct FlatSidetone {
    tone::ToneLoop loop{{std::vector<float>(100, 1.0F), 24000}, 24000};
    tone::Sidetone sidetone{kRate};
    FlatSidetone() { sidetone.offerTone(&loop); }
};

// Each edge passes half level exactly on its scheduled frame, along a raised cosine without a
// step. A character that reaches the sidetone late loses only what is already past; the rest of
// its run keeps its frames. A withdrawal takes back what has not begun.
TEST(Sidetone, EdgesKeepTheRunsTimelineEvenForALateCharacterAndWithdrawalTakesBackTheRest) {
    FlatSidetone flat;
    tone::Sidetone& sidetone = flat.sidetone;
    tone::PlayedCharacter c;
    c.run = 7;
    c.schedule.markCount = 1;
    c.schedule.marks[0] = {0, 0.010};  // 480 frames down, then 480 up
    c.schedule.duration = 0.020;
    sidetone.place(c, 1000);
    std::vector<std::int16_t> out(2000);
    sidetone.render(out);         // the second character's mark belonged at 1960: it comes too late
    EXPECT_EQ(out[1000], 16384);  // half way up
    EXPECT_LT(out[999], 16384);
    EXPECT_EQ(out[1000 - 120], 0);
    EXPECT_EQ(out[1000 + 120], 32767);
    EXPECT_EQ(out[1480], 16384);                   // half way down
    for (double offset : {0.020, 0.040, 0.060}) {  // late, on time at 2920, withdrawn at 3880
        c.offset = offset;
        sidetone.place(c, 0);
    }
    sidetone.withdraw(7, 0.060);
    EXPECT_EQ(sidetone.keyingEnd(), 3880);
    std::vector<std::int16_t> rest(3000);
    sidetone.render(rest);
    const auto at = [&](std::size_t frame) { return rest[frame - 2000]; };
    EXPECT_EQ(at(2440), 16384);  // the late mark still ends on its frame
    EXPECT_EQ(at(2920), 16384);  // the next begins on its own frame, not later
    EXPECT_EQ(at(3400), 16384);
    EXPECT_EQ(at(3880 + 240), 0);  // nothing of the withdrawn one
    EXPECT_LT(at(2001), 100);      // the late one fades in over a whole edge, without a click
    out.insert(out.end(), rest.begin(), rest.end());
    int rise = 0;
    for (std::size_t n = 1; n < out.size(); ++n) {
        rise = std::max(rise, std::abs(out[n] - out[n - 1]));
    }
    EXPECT_LT(rise, 32767 * 0.007);  // a raised cosine over 240 frames: no step anywhere
}

// The stream reports what it consumed only every few milliseconds, so its readings lag; the
// timeline keeps to the freshest and starts over after a stall.
TEST(StreamTimeline, FollowsTheFreshestReadingAndStartsOverAfterAStall) {
    tone::StreamTimeline t;
    t.restart(kRate);
    EXPECT_FALSE(t.frameAt(std::chrono::nanoseconds(0)));
    using std::chrono::milliseconds;
    // Every 5 ms 240 frames played; the device's count lags by 0 to 192 frames.
    for (int i = 0; i < 200; ++i) {
        const std::int64_t played = 240LL * i - 48 * (i % 5);
        t.observe({milliseconds(5 * i), played + 480, 480});
    }
    EXPECT_NEAR(*t.frameAt(milliseconds(1000)), 48000, 2);
    // Suspended for a second: the frames stood still; the next reading is taken as it is.
    t.observe({milliseconds(2000), 48000 + 480, 480});
    EXPECT_NEAR(*t.frameAt(milliseconds(2010)), 48480, 2);
}

// The stream may rest only when nothing is left to sound and none waits to be placed.
TEST(SidetoneSource, RestsAQuarterSecondAfterTheLastKeyingUntilACharacterComes) {
    tone::SidetoneSource source;
    source.startStream(kRate);
    std::vector<std::int16_t> out(2400);  // 50 ms a turn
    std::int64_t written = 0;
    const auto turn = [&](int ms) {
        source.render(out, {std::chrono::milliseconds(ms), written, 0});
        written += static_cast<std::int64_t>(out.size());
    };
    turn(0);
    EXPECT_FALSE(source.resting());  // the first quarter second of the stream
    for (int ms = 50; ms <= 250; ms += 50) {
        turn(ms);
    }
    EXPECT_TRUE(source.resting());
    tone::PlayedCharacter e;
    e.run = 1;
    e.runStart = std::chrono::milliseconds(300);
    e.schedule.markCount = 1;
    e.schedule.marks[0] = {0, 0.04};
    e.schedule.duration = 0.16;
    source.post(e);
    EXPECT_FALSE(source.resting());
    int ms = 300;
    for (; ms < 1000 && !source.resting(); ms += 50) {
        turn(ms);
    }
    // Placed the lead after its request (frame 15312), 160 ms long, then a quarter second of
    // silence: resting from frame 34992, reached in the turn at 700 ms.
    EXPECT_EQ(ms, 750);
    EXPECT_NEAR(source.lastRunLatency(), tone::SidetoneSource::kLeadSeconds, 1e-4);
}

TEST(WaveFile, ReadsPcmAndRefusesTheRest) {
    // A 44-byte header: PCM format, channels, 24000/s, bits, and the data chunk's size.
    const auto header =
        [](int format, int channels, int bits, int dataBytes) {
            std::string w = "RIFF____WAVEfmt ";
            const int fields[][2] = {{16, 4},       {format, 2}, {channels, 2}, {24000, 4},
                                     {48000, 4},    {2, 2},      {bits, 2},     {0x61746164, 4},
                                     {dataBytes, 4}};  // 0x61746164: "data", low byte first
            for (const auto& [v, n] : fields) {
                for (int i = 0; i < n; ++i) {
                    w += static_cast<char>((v >> (8 * i)) & 0xFF);
                }
            }
            return w;
        };
    const std::string samples("\x00\x40\x00\xC0\xFF\x7F\x00\x80", 8);
    const auto mono = tone::parseWave(header(1, 1, 16, 8) + samples);
    ASSERT_TRUE(mono);
    EXPECT_EQ(mono->sampleRate, 24000);
    EXPECT_EQ(mono->samples, (std::vector<float>{0.5F, -0.5F, 32767 / 32768.0F, -1.0F}));
    const auto stereo = tone::parseWave(header(1, 2, 16, 8) + samples);
    ASSERT_TRUE(stereo);
    EXPECT_EQ(stereo->samples, (std::vector<float>{0.5F, 32767 / 32768.0F}));
    for (const std::string& bad :
         {std::string(), std::string("RIFF"), header(3, 1, 32, 8) + samples,
          header(1, 1, 8, 8) + samples, header(1, 0, 16, 8) + samples,
          header(1, 1, 16, 2) + samples.substr(0, 2), std::string(44, '\0')}) {
        EXPECT_FALSE(tone::parseWave(bad)) << bad.size();
    }
}

}  // namespace
