#include <gtest/gtest.h>

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

// The shipped tone: 600 Hz at 24000 samples per second, half full scale, 600 whole cycles.
tone::ToneLoop sineTone(double pitch) {
    tone::ToneLoop t;
    t.sample.sampleRate = 24000;
    for (int n = 0; n < 24000; ++n) {
        t.sample.samples.push_back(
            static_cast<float>(0.5 * std::sin(2 * std::numbers::pi * 600.0 * n / 24000)));
    }
    t.playbackRate = 4 * pitch;
    return t;
}

// Plays `codes` through the monitor at `wpm` and renders the run into samples.
std::vector<std::int16_t> renderCodes(const std::string& codes, double wpm, int volume,
                                      double pitch, double seconds) {
    std::vector<tone::PlayedCharacter> played;
    tone::Monitor monitor({[] { return 0.0; }, [wpm] { return wpm; }, [volume] { return volume; }},
                          [&](const tone::PlayedCharacter& c) { played.push_back(c); });
    monitor.replaceQueue(codes);
    std::chrono::milliseconds now{0};
    while (monitor.needsTicks()) {
        now += std::chrono::milliseconds(1);
        monitor.tick(now);
    }
    const tone::ToneLoop loop = sineTone(pitch);
    tone::Sidetone sidetone(kRate);
    sidetone.offerTone(&loop);
    for (const auto& c : played) {
        sidetone.place(c, kRate / 10);  // the run starts 100 ms in
    }
    std::vector<std::int16_t> out(static_cast<std::size_t>(seconds * kRate));
    sidetone.render(out);
    return out;
}

struct Stretch {
    bool keyed;
    double ms;
};

std::vector<Stretch> stretches(const std::vector<std::int16_t>& s, double level) {
    std::vector<Stretch> out;
    for (const auto& st : keying::stretches(s, kRate, 600, level / 2)) {
        out.push_back({st.keyed, st.frames * 1000.0 / kRate});
    }
    return out;
}

TEST(Sidetone, TestAt28WpmHasTheScheduledMarksAndSpaces) {
    const double level = 0.5 * 32767 * std::pow(10, -2000 / 2000.0);
    const auto s = renderCodes("84698384", 28, -2000, 6000, 1.5);
    auto st = stretches(s, level);
    ASSERT_GE(st.size(), 3u);
    // Drop the lead-in and the tail: both are silence of no particular length.
    st.erase(st.begin());
    st.pop_back();
    const double u = 1150.0 / 28;
    // T E S T: units of each mark and space in turn.
    const std::vector<Stretch> want = {{true, 3}, {false, 3}, {true, 1}, {false, 3},
                                       {true, 1}, {false, 1}, {true, 1}, {false, 1},
                                       {true, 1}, {false, 3}, {true, 3}};
    ASSERT_EQ(st.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(st[i].keyed, want[i].keyed) << i;
        EXPECT_NEAR(st[i].ms, want[i].ms * u, 0.5) << i;  // the reading blurs edges a little
    }
}

TEST(Sidetone, WordSpaceMakesSevenUnitsOfSilence) {
    const double level = 0.5 * 32767 * 0.1;
    const auto st = stretches(renderCodes("693269", 28, -2000, 6000, 1.5), level);
    ASSERT_EQ(st.size(), 5u);  // lead-in, E, space, E, tail
    EXPECT_NEAR(st[2].ms, 7 * 1150.0 / 28, 0.5);
}

TEST(Sidetone, PitchFollowsThePlaybackRate) {
    // The file's 600 Hz at 24000/s: 4 x pitch samples per second sounds pitch / 10 Hz.
    for (double pitch : {3000.0, 6000.0, 8000.0}) {
        const auto s = renderCodes("84", 5, 0, pitch, 0.8);
        // Zero crossings inside the dah (230 ms x 3 from 100 ms on), away from its edges.
        int crossings = 0;
        const std::size_t from = kRate / 10 + kRate / 50;
        const std::size_t to = from + kRate / 2;
        for (std::size_t n = from + 1; n < to; ++n) {
            crossings += (s[n - 1] < 0) != (s[n] < 0);
        }
        EXPECT_NEAR(crossings / 2.0 / 0.5, pitch / 10, 2) << pitch;
    }
}

TEST(Sidetone, KeyDownLevelFollowsTheVolume) {
    for (int volume : {0, -2000, -3000}) {
        const auto s = renderCodes("84", 5, volume, 6000, 0.8);
        int peak = 0;
        for (auto v : s) {
            peak = std::max(peak, std::abs(static_cast<int>(v)));
        }
        const double want = 0.5 * 32767 * std::pow(10.0, volume / 2000.0);
        EXPECT_NEAR(peak, want, want * 0.01 + 1) << volume;
    }
    EXPECT_EQ(tone::volumeGain(-10000), 0);
}

// With a tone of constant value the output is the keying envelope itself: edges can be read to
// the sample.
TEST(Sidetone, EdgesCrossHalfLevelOnTheirScheduledFrame) {
    tone::ToneLoop flat;
    flat.sample = {std::vector<float>(100, 1.0F), 24000};
    flat.playbackRate = 24000;
    tone::Sidetone sidetone(kRate);
    sidetone.offerTone(&flat);
    tone::PlayedCharacter c;
    c.run = 1;
    c.schedule.markCount = 2;
    c.schedule.marks[0] = {0.010, 0.0205};
    c.schedule.marks[1] = {0.050, 0.001};  // shorter than an edge: still no click, still keyed
    c.volume = 0;
    sidetone.place(c, 1000);
    std::vector<std::int16_t> out(6000);
    sidetone.render(out);
    EXPECT_EQ(out[1480], 16384);  // 1000 + 0.010 s: exactly half way up
    EXPECT_LT(out[1479], 16384);
    EXPECT_EQ(out[2464], 16384);  // 1000 + 0.0305 s: half way down
    EXPECT_EQ(out[1480 + 120], 32767);
    EXPECT_EQ(out[1480 - 120], 0);
    int rise = 0;
    for (std::size_t n = 1; n < out.size(); ++n) {
        rise = std::max(rise, out[n] - out[n - 1]);
    }
    EXPECT_LT(rise, 32767 * 0.007);  // raised cosine over 240 frames: no step anywhere
}

// A character that reaches the sidetone late loses only what is already past; the rest of its
// run keeps its frames. A withdrawal takes back what has not begun.
TEST(Sidetone, LateCharacterKeepsTheRunsTimelineAndWithdrawalTakesBackWhatIsToCome) {
    tone::ToneLoop flat;
    flat.sample = {std::vector<float>(100, 1.0F), 24000};
    flat.playbackRate = 24000;
    tone::Sidetone sidetone(kRate);
    sidetone.offerTone(&flat);
    tone::PlayedCharacter c;
    c.run = 7;
    c.schedule.markCount = 1;
    c.schedule.marks[0] = {0, 0.010};  // 480 frames down, then 480 up
    c.schedule.duration = 0.020;
    sidetone.place(c, 1000);
    std::vector<std::int16_t> out(2000);
    sidetone.render(out);  // the second character's mark belonged at 1960: it comes too late
    c.offset = 0.020;
    sidetone.place(c, 0);
    c.offset = 0.040;  // the third, at 2920, is on time
    sidetone.place(c, 0);
    c.offset = 0.060;  // the fourth, at 3880, is taken back before it begins
    sidetone.place(c, 0);
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
    const auto header = [](int format, int channels, int bits, int dataBytes) {
        std::string w = "RIFF____WAVEfmt ";
        const auto put = [&](unsigned v, int n) {
            for (int i = 0; i < n; ++i) {
                w += static_cast<char>((v >> (8 * i)) & 0xFF);
            }
        };
        put(16, 4);
        put(static_cast<unsigned>(format), 2);
        put(static_cast<unsigned>(channels), 2);
        put(24000, 4);
        put(48000, 4);
        put(2, 2);
        put(static_cast<unsigned>(bits), 2);
        w += "data";
        put(static_cast<unsigned>(dataBytes), 4);
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
