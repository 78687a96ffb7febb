#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

#include "tone/fake_device.h"
#include "tone/keyer_mirror.h"
#include "tone/sidetone_source.h"

namespace {

using keyer::StreamEvent;
using K = StreamEvent::Kind;
using tone::SidetoneCommand;
using tone::TimePoint;

constexpr int kRate = 48000;
constexpr std::int16_t kHalf = 16384;

TimePoint ms(double v) {
    return TimePoint(std::llround(v * 1e6));
}
double toMs(TimePoint t) {
    return static_cast<double>(t.count()) / 1e6;
}

struct Interval {
    double start;
    double end;
};

// A constant tone at full level: what is heard is the keying envelope itself.
void flatTone(tone::SidetoneSource& source) {
    source.setTone(tone::ToneSample{std::vector<float>(100, 1.0F), 24000}, 24000);
    source.setVolume(0);
}

// The marks heard, in ms of the monotonic clock, where the level passes half way.
std::vector<Interval> heardMarks(const std::vector<std::int16_t>& heard) {
    std::vector<Interval> out;
    for (std::size_t n = 1; n < heard.size(); ++n) {
        const bool was = heard[n - 1] >= kHalf;
        const bool is = heard[n] >= kHalf;
        if (!was && is) {
            out.push_back({1000.0 * static_cast<double>(n) / kRate, -1});
        } else if (was && !is && !out.empty()) {
            out.back().end = 1000.0 * static_cast<double>(n) / kRate;
        }
    }
    return out;
}

// What the commands say should sound: each mark, as later commands end or cut it, overlapping
// ones joined.
std::vector<Interval> meant(const std::vector<SidetoneCommand>& commands) {
    std::map<std::uint64_t, Interval> marks;
    for (const SidetoneCommand& c : commands) {
        switch (c.kind) {
            case SidetoneCommand::Kind::Mark:
                marks[c.mark.id] = {toMs(c.mark.start), toMs(c.mark.end)};
                break;
            case SidetoneCommand::Kind::EndMark:
                marks[c.mark.id].end = std::min(marks[c.mark.id].end, toMs(c.mark.end));
                break;
            case SidetoneCommand::Kind::CutFrom:
                for (auto it = marks.begin(); it != marks.end();) {
                    if (it->second.start >= toMs(c.mark.start)) {
                        it = marks.erase(it);
                    } else {
                        it->second.end = std::min(it->second.end, toMs(c.mark.start));
                        ++it;
                    }
                }
                break;
        }
    }
    std::vector<Interval> sorted;
    for (const auto& [id, m] : marks) {
        sorted.push_back(m);
    }
    std::sort(sorted.begin(), sorted.end(),
              [](const Interval& a, const Interval& b) { return a.start < b.start; });
    std::vector<Interval> joined;
    for (const Interval& m : sorted) {
        if (!joined.empty() && m.start <= joined.back().end) {
            joined.back().end = std::max(joined.back().end, m.end);
        } else {
            joined.push_back(m);
        }
    }
    return joined;
}

// The monitor as it runs, without Qt: the keyer's stream reaches the mirror the latency after it
// is forwarded; every 10 ms of the window's thread, what starts within the hand-over horizon goes
// to the sidetone, which plays on a clocked device.
struct Monitor {
    static constexpr double kLatencyMs = 300;
    static constexpr double kAheadMs = 2000;
    tone::KeyerMirror mirror{20};
    tone::SidetoneSource source;
    FakeDevice device;
    std::vector<SidetoneCommand> handed;

    explicit Monitor(FakeDevice::Setup setup = {}, double bufferSeconds = 0.240)
        : device(source, setup) {
        flatTone(source);
        source.setLatencyBuffer(bufferSeconds);
        device.start();
    }
    void forward(const std::vector<StreamEvent>& events) {
        mirror.receive(events, ms(device.nowMs() + kLatencyMs));
        pump();
    }
    void test() {
        mirror.replaceWith("TEST", ms(device.nowMs()), ms(device.nowMs() + kLatencyMs));
        pump();
    }
    void pump() {
        mirror.commitUntil(ms(device.nowMs() + kAheadMs));
        bool posted = false;
        for (const SidetoneCommand& c : mirror.takeCommands()) {
            EXPECT_TRUE(source.post(c));
            handed.push_back(c);
            posted = true;
        }
        if (posted) {
            device.wake();
        }
    }
    void runUntil(double atMs) {
        while (device.nowMs() < atMs) {
            device.runUntil(std::min(atMs, device.nowMs() + 10));
            pump();
        }
    }
};

std::vector<StreamEvent> text(const std::string& s) {
    std::vector<StreamEvent> out;
    for (char c : s) {
        out.push_back({K::Text, static_cast<std::uint8_t>(c)});
    }
    return out;
}

void expectHeardAsMeant(const Monitor& m, const char* what, double within = 0.1) {
    const std::vector<Interval> want = meant(m.handed);
    const std::vector<Interval> got = heardMarks(m.device.heard());
    ASSERT_EQ(got.size(), want.size()) << what;
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_NEAR(got[i].start, want[i].start, within) << what << ", mark " << i;
        EXPECT_NEAR(got[i].end, want[i].end, within) << what << ", mark " << i;
    }
}

// A clear, a backspace, a tune and Test while a stretch plays (what every logger that clears its
// buffer does): the sidetone sounds exactly what the keyer's commands leave, to the frame. The
// commands reach the audio thread between fills, so each is applied with the stream's clock of
// that fill.
TEST(SidetoneSource, OddCommandsWhileAStretchPlaysSoundAsTheKeyerLeavesThem) {
    const struct {
        const char* what;
        std::vector<std::pair<double, std::vector<StreamEvent>>> stream;  // forwarded at ms
        double testAt;                                                    // Test clicked, or -1
    } cases[] = {
        {"a clear in the third character", {{500, text("PARIS")}, {1100, {{K::Clear}}}}, -1},
        {"a backspace of a character handed over",
         {{500, text("EEA")}, {600, {{K::Backspace}}}},
         -1},
        {"a tune over the keying, let up",
         {{500, text("EEEE")}, {700, {{K::Tune, 1}}}, {1500, {{K::Tune, 0}}}},
         -1},
        {"a tune cut by a clear",
         {{500, text("EE")}, {700, {{K::Tune, 1}}}, {1500, {{K::Clear}}}},
         -1},
        {"Test while a word plays", {{500, text("PARIS PARIS")}}, 1000},
        {"a key-down cut by a reset", {{500, {{K::KeyDown, 30}}}, {1200, {{K::Reset}}}}, -1},
    };
    for (const auto& c : cases) {
        Monitor m;
        for (const auto& [at, events] : c.stream) {
            m.runUntil(at);
            m.forward(events);
        }
        if (c.testAt >= 0) {
            m.runUntil(c.testAt);
            m.test();
        }
        m.runUntil(8000);
        expectHeardAsMeant(m, c.what);
    }
}

// A key-down cut by a clear, then a rest of N seconds (the stream rests meanwhile): the next
// character sounds at its time, not N - 2 s later.
TEST(SidetoneSource, AfterACutKeyDownAndARestTheNextCharacterIsOnTime) {
    for (const double restS : {3.0, 10.0}) {
        Monitor m;
        m.runUntil(500);
        m.forward({{K::KeyDown, 255}});
        m.runUntil(2500);
        m.forward({{K::Clear}});
        const double next = 2500 + restS * 1000;
        m.runUntil(next);
        EXPECT_TRUE(m.device.resting()) << restS;
        m.forward(text("E"));
        m.runUntil(next + 1000);
        const auto got = heardMarks(m.device.heard());
        ASSERT_EQ(got.size(), 2u) << restS;
        EXPECT_NEAR(got[1].start, next + Monitor::kLatencyMs, 0.1) << restS;
    }
}

// A device that reports what it has played only in steps (50 ms for a long buffer, 10 ms for a
// short one), that stands still for a while after it starts and after a rest, and whose clock
// runs apart from the system's: every mark still sounds at its time on the monotonic clock,
// within the few milliseconds by which the freshest of the first readings still lags; to the
// millisecond where the device keeps a running count of what it played.
TEST(SidetoneSource, MarksKeepTheirTimesOnADeviceThatReportsInStepsAndStartsLate) {
    struct Device {
        double bufferMs;
        double stepMs;
        bool ownCount;
        double ppm;
        double within;
    };
    const Device devices[] = {{240, 50, false, 0, 6},
                              {80, 10, false, 0, 2},
                              {240, 50, true, 0, 1},
                              {80, 10, false, 400, 2},
                              {80, 10, false, -400, 2}};
    for (const Device& d : devices) {
        FakeDevice::Setup setup;
        setup.stepMs = d.stepMs;
        setup.ownCount = d.ownCount;
        setup.stillAfterStartMs = 50;
        setup.ppm = d.ppm;
        Monitor m(setup, d.bufferMs / 1000);
        // Characters a few a second, then after rests (the stream rests and resumes).
        const std::vector<double> at{500, 800, 1300, 1550, 9000, 9300, 20000, 40000, 40450};
        for (double t : at) {
            m.runUntil(t - Monitor::kLatencyMs);
            m.forward(text("E"));
        }
        m.runUntil(41000);
        const auto got = heardMarks(m.device.heard());
        ASSERT_EQ(got.size(), at.size()) << d.bufferMs << " " << d.ppm;
        for (std::size_t i = 0; i < at.size(); ++i) {
            EXPECT_NEAR(got[i].start, at[i], d.within)
                << d.bufferMs << " ms buffer, " << d.ppm << " ppm, mark at " << at[i];
            EXPECT_NEAR(got[i].end - got[i].start, 60, 0.1) << at[i];
        }
    }
}

// A machine that holds the audio thread up longer than the buffer: the device runs dry, the
// underrun is counted, and from the next rest on the stream has a longer buffer; a stall of the
// same length then leaves every mark whole.
TEST(SidetoneSource, AnUnderrunGrowsTheBufferFromTheNextRest) {
    Monitor m({}, 0);  // a short latency: the floor
    m.runUntil(3000);
    const double first = m.source.bufferInUse();
    EXPECT_NEAR(first, tone::OutputPolicy::kFloorSeconds, 1e-3);
    m.forward(text("TTTTT"));
    m.device.stall(3500, 3600);
    m.runUntil(7000);
    EXPECT_GE(m.source.underruns(), 1);
    EXPECT_NEAR(m.source.bufferInUse(), first * tone::OutputPolicy::kGrowth, 1e-3);

    const std::int64_t before = m.source.underruns();
    m.forward(text("TTTTT"));
    m.device.stall(7500, 7600);
    m.runUntil(11000);
    EXPECT_EQ(m.source.underruns(), before);
    const auto got = heardMarks(m.device.heard());
    std::size_t whole = 0;
    for (const Interval& i : got) {
        whole += i.end > 6000 && std::abs(i.end - i.start - 180) < 0.1 ? 1 : 0;
    }
    EXPECT_EQ(whole, 5u);
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
    const auto from = static_cast<std::size_t>((atMs + 50) * 48);
    for (std::size_t n = from; n < from + 4800; ++n) {
        crossings += (s[n - 1] < 0) != (s[n] < 0);
    }
    return crossings / 2.0 / 0.1;
}

// The tone changes at the next silent moment: a change while the sidetone rests is heard on
// the next character, and of many changes the last one wins.
TEST(SidetoneSource, ThePitchSetLastIsHeardOnTheNextCharacter) {
    for (int changes : {1, 100}) {
        tone::SidetoneSource source;
        source.setTone(sine(), 4 * 6000.0);
        source.setVolume(0);
        FakeDevice device(source, {});
        device.start();
        tone::KeyMark first{.id = 1, .start = ms(500), .end = ms(700)};
        ASSERT_TRUE(source.post({SidetoneCommand::Kind::Mark, first}));
        device.runUntil(4000);  // it sounds, then the stream rests
        ASSERT_TRUE(device.resting());
        for (int i = 1; i <= changes; ++i) {
            source.setTone(sine(), 4 * (6000.0 - 10 * i));  // down to 5990 or 5000
        }
        tone::KeyMark second{.id = 2, .start = ms(4500), .end = ms(4700)};
        ASSERT_TRUE(source.post({SidetoneCommand::Kind::Mark, second}));
        device.wake();
        device.runUntil(5000);
        EXPECT_NEAR(pitchAt(device.heard(), 500), 600, 10);
        EXPECT_NEAR(pitchAt(device.heard(), 4500), 600 - changes, 10) << changes;
    }
}

}  // namespace
