#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tone/keying.h"

namespace {

struct Case {
    const char* what;
    int wpm;
    tone::KeyerSettings settings;
    std::vector<std::string> patterns;
    double extensionMs;
    std::vector<tone::SignMark> marksMs;  // start, length
    double durationMs;                    // to the end of the letter gap
};

// Worked out by hand from the PARIS unit, 1200 / wpm ms: 60 ms at 20 wpm.
TEST(Keying, SignsFollowTheSpeedAndEverySetting) {
    const Case cases[] = {
        {"A at 20", 20, {}, {".-"}, 0, {{0, 60}, {120, 180}}, 480},
        // Weighting 60: 60 x 10/50 = 12 ms from each space to its mark; the period stays.
        {"A weighted 60", 20, {.weighting = 60}, {".-"}, 0, {{0, 72}, {120, 192}}, 480},
        // Ratio 66: a dah is 3 x 60 x 66/50 = 237.6 ms.
        {"T at ratio 66", 20, {.ratio = 66}, {"-"}, 0, {{0, 237.6}}, 417.6},
        {"E compensated 10 ms", 20, {.compensationMs = 10}, {"."}, 0, {{0, 70}}, 240},
        // Farnsworth 30 at 15 wpm: elements at 40 ms; spacing (60x30 - 37.2x15) / (19x15x30) s
        // = 145.263 ms, so a letter gap of 435.79 ms.
        {"E Farnsworth 30 at 15", 15, {.farnsworth = 30}, {"."}, 0, {{0, 40}}, 475.789},
        {"Farnsworth below the speed is off", 15, {.farnsworth = 10}, {"."}, 0, {{0, 80}}, 320},
        {"first extension 20 ms", 20, {}, {"."}, 20, {{0, 80}}, 260},
        // A merge keys A and R with an element space between them, one letter gap at the end.
        {"AR merged",
         20,
         {},
         {".-", ".-."},
         0,
         {{0, 60}, {120, 180}, {360, 60}, {480, 180}, {720, 60}},
         960},
        // 120 wpm is held at 99: 12.12 ms.
        {"E at 120 wpm", 120, {}, {"."}, 0, {{0, 12.1212}}, 48.4848},
        // Weighting 90 and 10 ms compensation at 99 wpm take more than the space: no space is
        // left inside the sign; the letter gap keeps 36.36 - 9.70 - 10 = 16.67 ms.
        {"I heavy at 99",
         99,
         {.weighting = 90, .compensationMs = 10},
         {".."},
         0,
         {{0, 31.8182}, {31.8182, 31.8182}},
         80.303},
        {"nothing to key", 20, {}, {""}, 0, {}, 0},
    };
    for (const Case& c : cases) {
        const tone::Timing timing = tone::timingAt(c.wpm, c.settings);
        tone::Sign sign;
        if (c.patterns.size() == 1) {
            sign = tone::keySign({c.patterns[0]}, timing, c.extensionMs / 1000);
        } else {
            sign = tone::keySign({c.patterns[0], c.patterns[1]}, timing, c.extensionMs / 1000);
        }
        ASSERT_EQ(sign.marks.size(), c.marksMs.size()) << c.what;
        for (std::size_t i = 0; i < sign.marks.size(); ++i) {
            EXPECT_NEAR(sign.marks[i].start * 1000, c.marksMs[i].start, 1e-3) << c.what << i;
            EXPECT_NEAR(sign.marks[i].length * 1000, c.marksMs[i].length, 1e-3) << c.what << i;
        }
        EXPECT_NEAR(sign.duration * 1000, c.durationMs, 1e-3) << c.what;
    }
}

}  // namespace
