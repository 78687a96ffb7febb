#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "tone/radio_audio.h"
#include "tone/radio_delay.h"

namespace {

using radio_audio::Radio;
using tone::KeyedStretch;

struct Heard {
    std::optional<tone::DelayEstimate> after5;
    std::optional<tone::DelayEstimate> after20;
    std::optional<tone::DelayEstimate> atEnd;
};

// The radio's audio read 10 ms at a time, each read a little late, as an input delivers it.
// `untilMs` 0: until the 20th character has been heard.
Heard listen(const Radio& r, double untilMs, int wpm = 25, std::optional<double> pitch = {}) {
    const auto keyed = radio_audio::keying(radio_audio::words(40, r.seed), wpm, 500);
    const double at5 = radio_audio::characterEnd(keyed, 5, 1200.0 / wpm) + r.delayMs + 100;
    const double at20 = radio_audio::characterEnd(keyed, 20, 1200.0 / wpm) + r.delayMs + 100;
    const auto audio = radio_audio::render(r, keyed, untilMs > 0 ? untilMs : at20 + 50);
    tone::RadioDelay delay(r.rate, pitch);
    Heard h;
    const auto chunk = static_cast<std::size_t>(r.rate / 100);
    for (std::size_t from = 0, i = 0; from < audio.size(); from += chunk, ++i) {
        const std::size_t n = std::min(chunk, audio.size() - from);
        const double readMs = 1000.0 * static_cast<double>(from + n) / r.rate + (i * 7 % 5);
        std::vector<KeyedStretch> sofar;
        for (const KeyedStretch& s : keyed) {
            if (s.start < readMs) {
                sofar.push_back({s.start, std::min(s.end, std::max(readMs, s.start))});
            }
        }
        delay.keyed(sofar);
        delay.heard(std::span(audio).subspan(from, n), tone::fromSeconds(readMs / 1000));
        if (!h.after5 && readMs >= at5) {
            h.after5 = delay.estimate();
        }
        if (!h.after20 && readMs >= at20) {
            h.after20 = delay.estimate();
        }
    }
    h.atEnd = delay.estimate();
    return h;
}

std::string show(const std::optional<tone::DelayEstimate>& e) {
    return e ? std::to_string(e->delayMs) + " +- " + std::to_string(e->plusMinusMs) + " (" +
                   std::to_string(e->edges) + " edges, " + std::to_string(e->pitchHz) + " Hz)"
             : "none";
}

// The delay from the keyer's key to the radio's audio, heard in audio that brings along what real
// receive audio does: within 3 ms after five characters and 1 ms after twenty at 6 dB and
// better; to a tenth of a millisecond in clean audio, at any rate an input may have.
TEST(RadioDelay, TheDelayIsHeardInTheRadiosAudio) {
    const struct {
        const char* what;
        Radio radio;
        double after5, after20;  // within, ms
        int wpm = 25;
    } cases[] = {
        {"48 kHz, clean", {.rate = 48000}, 0.1, 0.1},
        {"8 kHz, clean", {.rate = 8000}, 0.1, 0.1},
        {"44.1 kHz, 20 dB", {.rate = 44100, .snrDb = 20}, 0.3, 0.3},
        {"48 kHz, 6 dB", {.snrDb = 6}, 3, 1},
        {"8 kHz, 6 dB", {.rate = 8000, .snrDb = 6}, 3, 1},
        {"fading", {.snrDb = 20, .fading = true}, 3, 1},
        {"AGC pumping", {.snrDb = 20, .agc = true}, 3, 1},
        {"clipped", {.snrDb = 20, .clipped = true}, 3, 1},
        {"a second station 300 Hz away", {.snrDb = 20, .secondHz = 1000}, 3, 1},
        {"a second station 300 Hz below", {.snrDb = 20, .secondHz = 400}, 3, 1},
        {"80 ms", {.delayMs = 80, .snrDb = 20}, 3, 1},
        {"600 ms at 900 Hz", {.pitchHz = 900, .delayMs = 600, .snrDb = 20}, 3, 1},
        {"1500 ms at 450 Hz", {.pitchHz = 450, .delayMs = 1500, .snrDb = 20}, 3, 1},
        {"40 wpm", {.snrDb = 20}, 3, 1, 40},
        {"15 wpm", {.snrDb = 20}, 3, 1, 15},
    };
    for (const auto& c : cases) {
        const Heard h = listen(c.radio, 0, c.wpm);
        ASSERT_TRUE(h.after5) << c.what;
        EXPECT_NEAR(h.after5->delayMs, c.radio.delayMs, c.after5)
            << c.what << ": " << show(h.after5);
        ASSERT_TRUE(h.after20) << c.what;
        EXPECT_NEAR(h.after20->delayMs, c.radio.delayMs, c.after20)
            << c.what << ": " << show(h.after20);
        EXPECT_NEAR(h.after20->pitchHz, c.radio.pitchHz, 15) << c.what;
        EXPECT_LT(h.after20->plusMinusMs, 0.5) << c.what;
    }
}

// A radio that lengthens its marks moves its key-ups, not its key-downs: the delay is when each
// element starts, whether the coarse search first took the marks' middles or not. At 0 dB the
// estimate, if any, is still right.
TEST(RadioDelay, LongMarksAndNoiseDoNotMisleadIt) {
    for (const double longer : {6.0, 12.0, 18.0}) {
        const Heard h = listen({.snrDb = 20, .longerMs = longer}, 20000);
        ASSERT_TRUE(h.atEnd) << longer;
        EXPECT_NEAR(h.atEnd->delayMs, 250, 0.5) << longer << ": " << show(h.atEnd);
    }
    const Heard noisy = listen({.snrDb = 0}, 20000);
    if (noisy.atEnd) {
        EXPECT_NEAR(noisy.atEnd->delayMs, 250, 3) << show(noisy.atEnd);
    }
}

// The operator may give the pitch; the radio's CW is found there and only there.
TEST(RadioDelay, AGivenPitchIsListenedTo) {
    const Heard right = listen({.pitchHz = 600, .snrDb = 20, .secondHz = 900}, 20000, 25, 600);
    ASSERT_TRUE(right.atEnd);
    EXPECT_NEAR(right.atEnd->delayMs, 250, 1);
    EXPECT_DOUBLE_EQ(right.atEnd->pitchHz, 600);
    EXPECT_FALSE(listen({.pitchHz = 600, .snrDb = 20}, 20000, 25, 1100).atEnd);
}

// With no CW of ours in the audio there is no estimate: not in silence, noise or speech, nor in
// another station's CW; nor a delay longer than any radio's, which would be a match by chance.
TEST(RadioDelay, WithoutOurCwThereIsNoEstimate) {
    const struct {
        const char* what;
        Radio radio;
    } cases[] = {
        {"silence", {.ours = false}},
        {"noise", {.snrDb = -20}},
        {"speech", {.snrDb = 20, .voice = true}},
        {"another station only", {.snrDb = 20, .secondHz = 700, .ours = false}},
        {"a delay past the longest looked for", {.delayMs = 3600, .snrDb = 20}},
    };
    for (const auto& c : cases) {
        const Heard h = listen(c.radio, 20000);
        EXPECT_FALSE(h.after5 || h.after20 || h.atEnd) << c.what << ": " << show(h.atEnd);
    }
}

// A delay that steps from 250 to 400 ms (the network's route changed) is followed within two
// words; one that steps by a little more than an edge's gate either way, within four.
TEST(RadioDelay, AStepInTheDelayIsFollowedWithinTwoWords) {
    for (const double to : {400.0, 262.0, 244.0}) {
        const Radio r{.delayMs = 250, .stepAtMs = 15000, .stepDelayMs = to, .snrDb = 20};
        const auto keyed = radio_audio::keying(radio_audio::words(40, r.seed), 25, 500);
        const auto audio = radio_audio::render(r, keyed, 30000);
        tone::RadioDelay delay(r.rate);
        const auto chunk = static_cast<std::size_t>(r.rate / 100);
        std::optional<double> followedAt;
        for (std::size_t from = 0; from < audio.size(); from += chunk) {
            const double readMs = 1000.0 * static_cast<double>(from + chunk) / r.rate;
            std::vector<KeyedStretch> sofar;
            for (const KeyedStretch& s : keyed) {
                if (s.start < readMs) {
                    sofar.push_back({s.start, std::min(s.end, readMs)});
                }
            }
            delay.keyed(sofar);
            delay.heard(std::span(audio).subspan(from, chunk), tone::fromSeconds(readMs / 1000));
            const auto e = delay.estimate();
            if (readMs < 15000) {
                ASSERT_TRUE(readMs < 5000 || (e && std::abs(e->delayMs - 250) < 1)) << readMs;
            } else if (!followedAt && e && std::abs(e->delayMs - to) < 1) {
                followedAt = readMs;
            }
        }
        ASSERT_TRUE(followedAt) << "to " << to;
        // Two words at 25 wpm are 4.8 s. A small step first has to fill most of the coarse
        // search's window before it is seen as a step: four words.
        EXPECT_LT(*followedAt - 15000 - to, std::abs(to - 250) > 50 ? 4800 : 9600) << "to " << to;
    }
}

// Which heard edge is taken for which keyed one: only one of its own kind near the delay so far,
// a key-up also a little later (a radio that lengthens its marks), and never one of two.
TEST(DelayTracker, MatchesAnEdgeOnlyWithTheOneKeyedEdgeNearTheDelay) {
    std::vector<KeyedStretch> keyed;
    for (int i = 0; i < 10; ++i) {
        keyed.push_back({1000.0 * i, 1000.0 * i + 60});
    }
    keyed.push_back({20000, 20005});  // two short marks close together
    keyed.push_back({20010, 20015});
    const struct {
        const char* what;
        bool down;
        double keyedAt;  // the keyed edge it is heard for
        double offMs;    // heard this far from keyed + 250 ms
        bool matched;
    } cases[] = {
        {"a key-down 5 ms late", true, 5000, 5, true},
        {"a key-down 5 ms early", true, 5000, -5, true},
        {"a key-down 12 ms late", true, 5000, 12, false},
        {"a key-down 12 ms early", true, 5000, -12, false},
        {"a key-up 15 ms late: a lengthened mark", false, 5060, 15, true},
        {"a key-up 26 ms late", false, 5060, 26, true},
        {"a key-up 35 ms late", false, 5060, 35, false},
        {"a key-up 12 ms early", false, 5060, -12, false},
        {"a key-down between two keyed ones", true, 20005, 2, false},
    };
    for (const auto& c : cases) {
        tone::DelayTracker tracker;
        tracker.lockAt(250);
        for (const KeyedStretch& k : std::span(keyed).first(5)) {  // ten edges right on time
            tracker.heard({k.start + 250, true}, keyed);
            tracker.heard({k.end + 250, false}, keyed);
        }
        ASSERT_TRUE(tracker.estimate()) << c.what;
        ASSERT_EQ(tracker.estimate()->edges, 10u) << c.what;
        tracker.heard({c.keyedAt + 250 + c.offMs, c.down}, keyed);
        EXPECT_EQ(tracker.estimate()->edges, c.matched ? 11u : 10u) << c.what;
    }
}

// Edges that each match but scatter by several milliseconds (chance matches, a smeared signal)
// make no estimate; the same edges a few tenths apart do.
TEST(DelayTracker, ScatteredMatchesMakeNoEstimate) {
    for (const double scatter : {5.0, 0.3}) {
        tone::DelayTracker tracker;
        tracker.lockAt(250);
        std::vector<KeyedStretch> keyed;
        for (int i = 0; i < 8; ++i) {
            keyed.push_back({1000.0 * i, 1000.0 * i + 60});
        }
        for (int i = 0; i < 8; ++i) {
            const double off = (i % 2 == 0 ? 1 : -1) * scatter;
            tracker.heard({keyed[i].start + 250 + off, true}, keyed);
            tracker.heard({keyed[i].end + 250 - off, false}, keyed);
        }
        EXPECT_EQ(tracker.estimate().has_value(), scatter < 1) << scatter;
    }
}

}  // namespace
