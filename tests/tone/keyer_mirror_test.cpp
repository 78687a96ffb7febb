#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string_view>
#include <utility>
#include <vector>

#include "tone/keyer_mirror.h"

namespace {

using keyer::StreamEvent;
using K = StreamEvent::Kind;
using tone::SidetoneCommand;
using tone::TimePoint;

TimePoint ms(double v) {
    return TimePoint(std::llround(v * 1e6));
}
double toMs(TimePoint t) {
    return static_cast<double>(t.count()) / 1e6;
}

std::vector<StreamEvent> text(std::string_view s) {
    std::vector<StreamEvent> out;
    for (char c : s) {
        out.push_back({K::Text, static_cast<std::uint8_t>(c)});
    }
    return out;
}

// A keyer at 20 wpm (60 ms units) whose arrivals the test gives in milliseconds.
struct Rig {
    tone::KeyerMirror mirror{20};
    std::vector<SidetoneCommand> commands;

    void send(std::vector<StreamEvent> events, double atMs) { mirror.receive(events, ms(atMs)); }
    void commit(double untilMs) {
        mirror.commitUntil(ms(untilMs));
        for (const SidetoneCommand& c : mirror.takeCommands()) {
            commands.push_back(c);
        }
    }
    // Hands everything over; the marks in milliseconds, in order.
    std::vector<std::pair<double, double>> marks() {
        commit(1e9);
        std::vector<std::pair<double, double>> out;
        for (const SidetoneCommand& c : commands) {
            if (c.kind == SidetoneCommand::Kind::Mark) {
                out.emplace_back(toMs(c.mark.start), toMs(c.mark.end));
            }
        }
        return out;
    }
};

using Marks = std::vector<std::pair<double, double>>;

// An idle keyer keys a character when it arrives; a busy one after the letter gap (180 ms) of
// what it keys. So characters that trickle in keep their own gaps, and a burst runs on.
TEST(KeyerMirror, StartsAtArrivalOrAfterWhatIsBeingKeyed) {
    Rig rig;
    rig.send(text("E"), 0);
    rig.send(text("E"), 100);   // busy until 240
    rig.send(text("E"), 1000);  // idle again
    rig.send(text("T"), 1000);  // queued behind it
    EXPECT_EQ(rig.marks(), (Marks{{0, 60}, {240, 300}, {1000, 1060}, {1240, 1420}}));
}

TEST(KeyerMirror, SpacesWaitsAndKeyDownsTakeTheirTimeInBufferOrder) {
    const struct {
        const char* what;
        std::vector<StreamEvent> events;
        Marks marks;
    } cases[] = {
        // A word gap is 7 units: the blank adds 4 to the letter gap.
        {"word space", text("E E"), {{0, 60}, {480, 540}}},
        {"half space", text("E|E"), {{0, 60}, {270, 330}}},
        {"wait 1 s", {{K::Text, 'E'}, {K::Wait, 1}, {K::Text, 'E'}}, {{0, 60}, {1240, 1300}}},
        {"key down 2 s",
         {{K::Text, 'E'}, {K::KeyDown, 2}, {K::Text, 'E'}},
         {{0, 60}, {240, 2240}, {2240, 2300}}},
        // 1C 0A: 10 wpm (120 ms units) from its place on; 1E goes back to 20.
        {"buffered speed",
         {{K::Text, 'E'},
          {K::BufferedSpeed, 10},
          {K::Text, 'E'},
          {K::CancelBufferedSpeed},
          {K::Text, 'E'}},
         {{0, 60}, {240, 360}, {720, 780}}},
        {"merged prosign AR",
         {{K::Merge, 'A', 'R'}},
         {{0, 60}, {120, 300}, {360, 420}, {480, 660}, {720, 780}}},
        {"lower case and unknown signs take no time",
         text("EaE#E"),
         {{0, 60}, {240, 300}, {480, 540}}},
    };
    for (const auto& c : cases) {
        Rig rig;
        rig.send(c.events, 0);
        EXPECT_EQ(rig.marks(), c.marks) << c.what;
    }
}

// A setting that acts at once (speed, weighting...) reaches what starts after its arrival and
// has not been handed over; what was handed over keeps its timing.
TEST(KeyerMirror, ImmediateSettingsActOnWhatHasNotStarted) {
    Rig rig;
    rig.send(text("EEE"), 0);  // at 0, 240 and 480
    rig.commit(100);           // the first E is handed over
    rig.send({{K::Speed, 10}}, 250);
    EXPECT_EQ(rig.marks(), (Marks{{0, 60}, {240, 300}, {480, 600}}));

    Rig handed;
    handed.send(text("EEE"), 0);
    handed.commit(500);  // all three
    handed.send({{K::Weighting, 90}}, 250);
    EXPECT_EQ(handed.marks(), (Marks{{0, 60}, {240, 300}, {480, 540}}));
}

// A clear stops the key where it is: the sounding mark ends at the clear, nothing queued is
// kept, a buffered speed is gone, and the next character may start at once. The first
// extension (30 ms) shows which characters start after the key has rested.
TEST(KeyerMirror, ClearCutsTheSoundingMarkAndTheNextMayStartAtOnce) {
    Rig rig;
    rig.send({{K::FirstExtension, 30}, {K::BufferedSpeed, 10}, {K::Text, 'T'}, {K::Text, 'E'}}, 0);
    rig.commit(1e9);
    rig.send({{K::Clear}, {K::Text, 'E'}}, 100);
    EXPECT_EQ(rig.mirror.pendingText(ms(99)), "E");
    rig.send(text("E"), 5000);
    const Marks marks = rig.marks();
    // T at 10 wpm with 30 ms more: 390 ms, then E after a 360 ms letter gap (handed over before
    // the clear took them back); the E after the clear at 20 wpm with no extension (the key had
    // not rested), and a rested one at 5000.
    EXPECT_EQ(marks, (Marks{{0, 390}, {750, 870}, {100, 160}, {5000, 5090}}));
    ASSERT_EQ(rig.commands[2].kind, SidetoneCommand::Kind::CutFrom);
    EXPECT_EQ(toMs(rig.commands[2].mark.start), 100);
}

TEST(KeyerMirror, BackspaceTakesTheLastCharacterThatHasNotStarted) {
    Rig rig;
    rig.send(text("EEA"), 0);
    rig.send({{K::Backspace}}, 100);  // the A (from 480) goes
    rig.send(text("T"), 200);
    rig.send({{K::Backspace}}, 500);  // the T started at 480: it stays
    EXPECT_EQ(rig.marks(), (Marks{{0, 60}, {240, 300}, {480, 660}}));

    Rig handed;
    handed.send(text("EE"), 0);
    handed.commit(1e9);
    handed.send({{K::Backspace}}, 100);
    handed.commit(1e9);
    ASSERT_EQ(handed.commands.size(), 3u);
    EXPECT_EQ(handed.commands[2].kind, SidetoneCommand::Kind::CutFrom);
    EXPECT_EQ(toMs(handed.commands[2].mark.start), 240);

    Rig wait;
    wait.send({{K::Text, 'E'}, {K::Wait, 1}}, 0);
    wait.send({{K::Backspace}, {K::Text, 'E'}}, 100);  // a wait is not text: it stays
    EXPECT_EQ(wait.marks(), (Marks{{0, 60}, {1240, 1300}}));
}

// Tune holds the key down from its arrival until it is let up; the buffer waits meanwhile. The
// mark goes over with the end the keyer's watchdog would give it, and ends earlier when let up.
TEST(KeyerMirror, TuneHoldsTheKeyAndTheBufferWaits) {
    Rig rig;
    rig.send({{K::Tune, 1}}, 0);
    rig.send(text("E"), 10);
    rig.commit(500);
    EXPECT_TRUE(rig.mirror.busy(ms(400)));
    rig.send({{K::Tune, 0}}, 1000);
    const Marks marks = rig.marks();
    EXPECT_EQ(marks, (Marks{{0, 100000}, {1000, 1060}}));
    ASSERT_EQ(rig.commands.size(), 3u);
    EXPECT_EQ(rig.commands[1].kind, SidetoneCommand::Kind::EndMark);
    EXPECT_EQ(rig.commands[1].mark.id, rig.commands[0].mark.id);
    EXPECT_EQ(toMs(rig.commands[1].mark.end), 1000);
    EXPECT_FALSE(rig.mirror.busy(ms(1300)));
}

// What the keyer ends ends on the monitor's timeline too, and what follows counts from there: a
// clear or a reset cuts a key-down, a wait or a tune where it stands; a tune nobody lets up ends
// by the keyer's watchdog after 100 s; the keyer's port closing cuts everything.
TEST(KeyerMirror, WhatTheKeyerEndsEndsAndWhatFollowsCountsFromThere) {
    const struct {
        const char* what;
        std::vector<std::pair<double, std::vector<StreamEvent>>> stream;
        double stopAt;  // the keyer's port closes, or -1
        Marks marks;
    } cases[] = {
        {"a key-down cut by a clear, then a rest",
         {{0, {{K::KeyDown, 255}}}, {2000, {{K::Clear}}}, {5000, text("E")}},
         -1,
         {{0, 2000}, {5000, 5060}}},
        {"a key-down cut by a clear with a character after it",
         {{0, {{K::KeyDown, 255}}}, {2000, {{K::Clear}, {K::Text, 'E'}}}},
         -1,
         {{0, 2000}, {2000, 2060}}},
        {"a key-down cut by a reset",
         {{0, {{K::KeyDown, 255}}}, {2000, {{K::Reset}}}, {3000, text("E")}},
         -1,
         {{0, 2000}, {3000, 3060}}},
        {"a wait cut by a clear",
         {{0, {{K::Text, 'E'}, {K::Wait, 10}, {K::Text, 'E'}}},
          {1000, {{K::Clear}}},
          {1500, text("E")}},
         -1,
         {{0, 60}, {1500, 1560}}},
        {"a tune cut by a clear",
         {{0, {{K::Tune, 1}}}, {10, text("E")}, {1000, {{K::Clear}}}, {1200, text("E")}},
         -1,
         {{0, 1000}, {1200, 1260}}},
        {"a tune nobody lets up",
         {{0, {{K::Tune, 1}}}, {10, text("E")}},
         -1,
         {{0, 100000}, {100000, 100060}}},
        {"the keyer's port closes during a key-down",
         {{0, {{K::KeyDown, 255}}}},
         1500,
         {{0, 1500}}},
    };
    for (const auto& c : cases) {
        Rig rig;
        for (const auto& [at, events] : c.stream) {
            rig.commit(at);
            rig.send(events, at);
        }
        if (c.stopAt >= 0) {
            rig.commit(c.stopAt);
            rig.mirror.stop(ms(c.stopAt));
        }
        rig.commit(1e9);
        // The marks as the sidetone ends them: a cut or an end that came later applies.
        Marks sounded;
        std::vector<std::uint64_t> ids;
        for (const SidetoneCommand& cmd : rig.commands) {
            if (cmd.kind == SidetoneCommand::Kind::Mark) {
                sounded.emplace_back(toMs(cmd.mark.start), toMs(cmd.mark.end));
                ids.push_back(cmd.mark.id);
            }
            for (std::size_t i = 0; i < sounded.size(); ++i) {
                if (cmd.kind == SidetoneCommand::Kind::EndMark && cmd.mark.id == ids[i]) {
                    sounded[i].second = std::min(sounded[i].second, toMs(cmd.mark.end));
                } else if (cmd.kind == SidetoneCommand::Kind::CutFrom) {
                    sounded[i].second = std::min(sounded[i].second, toMs(cmd.mark.start));
                }
            }
        }
        EXPECT_EQ(sounded, c.marks) << c.what;
        EXPECT_FALSE(rig.mirror.busy(ms(200000))) << c.what;
    }
}

// Test: what has not started goes; TEST arrives the latency after the click and follows what
// is sounding.
TEST(KeyerMirror, ReplacingKeepsWhatSoundsAndDropsWhatWaits) {
    Rig rig;
    rig.send(text("TTT"), 0);  // at 0, 360 and 720
    rig.mirror.replaceWith("E", ms(100), ms(150));
    EXPECT_EQ(rig.mirror.pendingText(ms(100)), "E");
    EXPECT_EQ(rig.marks(), (Marks{{0, 180}, {360, 420}}));
}

// Marks go over once, in order, each with a larger id, saying the gap the keyer keyed before it,
// whether the keyer had rested, and the letter gap at its speed.
TEST(KeyerMirror, HandsOverOnceInOrderWithTheGapsToKeep) {
    Rig rig;
    rig.send(text("E"), 1000);
    rig.send(text("E"), 500);  // arrivals never go back: taken as at 1000, so after the first
    rig.send(text("E"), 9000);
    EXPECT_EQ(rig.mirror.nextStart(), ms(1000));
    rig.commit(1001);
    EXPECT_EQ(rig.mirror.nextStart(), ms(1240));
    rig.commit(1e9);
    EXPECT_FALSE(rig.mirror.nextStart());
    ASSERT_EQ(rig.commands.size(), 3u);
    EXPECT_LT(rig.commands[0].mark.id, rig.commands[1].mark.id);
    EXPECT_LT(rig.commands[1].mark.id, rig.commands[2].mark.id);
    EXPECT_EQ(toMs(rig.commands[1].mark.start), 1240);
    EXPECT_EQ(toMs(rig.commands[0].mark.keyedGap), 0);  // the first
    EXPECT_TRUE(rig.commands[0].mark.afterRest);
    EXPECT_EQ(toMs(rig.commands[1].mark.keyedGap), 180);  // busy
    EXPECT_FALSE(rig.commands[1].mark.afterRest);
    EXPECT_EQ(toMs(rig.commands[2].mark.keyedGap), 7700);  // after a rest
    EXPECT_TRUE(rig.commands[2].mark.afterRest);
    EXPECT_EQ(toMs(rig.commands[2].mark.letterGap), 180);
    rig.mirror.forget(ms(2000));
    EXPECT_TRUE(rig.mirror.busy(ms(8000)));
    rig.mirror.forget(ms(10000));
    EXPECT_FALSE(rig.mirror.busy(ms(10000)));
}

TEST(KeyerMirror, ResetReturnsTheSettingsAndClears) {
    Rig rig;
    rig.send({{K::Weighting, 90}, {K::Text, 'E'}, {K::Text, 'E'}}, 0);  // E of 108 ms
    rig.send({{K::Reset}, {K::Text, 'E'}}, 50);
    EXPECT_EQ(rig.marks(), (Marks{{0, 50}, {50, 110}}));
}

}  // namespace
