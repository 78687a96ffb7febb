// The simulated logger: how it opens the keyer, paces its text and reads its script.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "sim_logger.h"

namespace {

using namespace std::chrono_literals;
using sim::SimLogger;
using sim::Step;
using sim::Time;

const Time t0{};

std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) {
        out += static_cast<char>(v);
    }
    return out;
}

// A logger that has opened its keyer at t0 + 300 ms.
SimLogger openedLogger() {
    SimLogger logger(28);
    logger.connected(t0);
    logger.advance(t0 + 300ms);
    logger.receive("U", t0 + 310ms);
    logger.receive(bytes({23}), t0 + 320ms);
    return logger;
}

TEST(SimLogger, OpensTheKeyerStepByStep) {
    SimLogger logger(28);
    EXPECT_EQ(logger.advance(t0), "");  // not connected
    logger.connected(t0);
    EXPECT_EQ(logger.advance(t0 + 299ms), "");  // lets the other side settle
    EXPECT_EQ(logger.advance(t0 + 300ms), bytes({0x13, 0x13, 0x13, 0x00, 0x04, 0x55}));
    // Unanswered: the echo test again a second later.
    EXPECT_EQ(logger.nextDue(), t0 + 1300ms);
    EXPECT_EQ(logger.advance(t0 + 1300ms), bytes({0x13, 0x13, 0x13, 0x00, 0x04, 0x55}));
    // A status byte is not the answer; 'U' is, and host open follows at once.
    EXPECT_EQ(logger.receive(bytes({0xC0}), t0 + 1310ms), "");
    EXPECT_EQ(logger.receive("U", t0 + 1320ms), bytes({0x00, 0x02}));
    // The version byte, then mode (serial echo), pins (key port 1, sidetone) and speed 28.
    EXPECT_EQ(logger.receive(bytes({23}), t0 + 1330ms),
              bytes({0x0E, 0x04, 0x09, 0x06, 0x02, 0x1C}));
    EXPECT_EQ(logger.version(), 23);
    EXPECT_TRUE(logger.ready());
}

TEST(SimLogger, SendsTextInSlicesAndHoldsWhileXoff) {
    SimLogger logger = openedLogger();
    logger.addStep({Step::Kind::Text, "CQ CQ TEST DE K1ABC", 0, 0});
    EXPECT_EQ(logger.advance(t0 + 1s), "CQ CQ TE");
    EXPECT_EQ(logger.advance(t0 + 1s + 10ms), "");                 // the next slice is 50 ms on
    EXPECT_EQ(logger.receive(bytes({0xC5}), t0 + 1s + 50ms), "");  // busy, XOFF
    EXPECT_FALSE(logger.nextDue());
    EXPECT_EQ(logger.receive(bytes({0xC4}), t0 + 2s), "ST DE K1");
    EXPECT_EQ(logger.advance(t0 + 2s + 50ms), "ABC");
    EXPECT_TRUE(logger.done());
}

TEST(SimLogger, SpeedCancelAndWaitStepsInOrder) {
    SimLogger logger = openedLogger();
    for (const char* line : {"@speed 35", "TEST", "@wait 0.5", "@cancel", "@idle"}) {
        logger.addStep(*sim::parseStep(line));
    }
    EXPECT_EQ(logger.advance(t0 + 1s), bytes({0x02, 35, 'T', 'E', 'S', 'T'}));
    EXPECT_EQ(logger.nextDue(), t0 + 1500ms);
    EXPECT_EQ(logger.advance(t0 + 1499ms), "");
    EXPECT_EQ(logger.advance(t0 + 1500ms), bytes({0x0A}));
    // @idle: the keyer has not been seen busy since the text, so it waits for busy then idle.
    EXPECT_FALSE(logger.done());
    logger.receive(bytes({0xC4}), t0 + 1600ms);
    logger.receive(bytes({0xC0}), t0 + 1700ms);
    EXPECT_TRUE(logger.done());
}

TEST(SimLogger, ReadsScriptLines) {
    const auto steps = sim::parseScript(
        "# a contest exchange\n\nCQ TEST \n@speed 32\n  @wait 1.5\n@cancel\r\n@idle\n@nonsense\n"
        "@bytes 0F c4 18\n@expect 55\n@expect any\n@paced CQ  TEST \n@trickle K1ABC\n@seed 7\n"
        "@no-handshake\n@bytes 0G\n@bytes 100\n@expect\n@paced\n");
    using K = Step::Kind;
    const std::vector<std::pair<K, std::string>> expected{
        {K::Text, "CQ TEST "},  // text is sent as written, blanks included
        {K::Speed, ""},
        {K::Wait, ""},
        {K::Cancel, ""},
        {K::Idle, ""},
        {K::Text, "@nonsense"},  // an unknown directive is text
        {K::Bytes, bytes({0x0F, 0xC4, 0x18})},
        {K::Expect, ""},
        {K::Expect, ""},
        {K::Paced, "CQ  TEST "},
        {K::Trickle, "K1ABC"},
        {K::Seed, ""},
        {K::NoHandshake, ""},
        {K::Text, "@bytes 0G"},  // malformed directives are text too
        {K::Text, "@bytes 100"},
        {K::Text, "@expect"},
        {K::Text, "@paced"},
    };
    ASSERT_EQ(steps.size(), expected.size());
    for (std::size_t i = 0; i < steps.size(); ++i) {
        EXPECT_EQ(steps[i].kind, expected[i].first) << i;
        if (!expected[i].second.empty()) {
            EXPECT_EQ(steps[i].text, expected[i].second) << i;
        }
    }
    EXPECT_EQ(steps[1].value, 32);
    EXPECT_DOUBLE_EQ(steps[2].seconds, 1.5);
    EXPECT_EQ(steps[7].value, 0x55);
    EXPECT_EQ(steps[8].value, -1);
    EXPECT_EQ(steps[11].value, 7);
}

TEST(SimLogger, AScriptCanOpenTheKeyerItselfWaitingForItsAnswers) {
    SimLogger logger(28);
    for (const char* line : {"@no-handshake", "@bytes 13 13", "@bytes 00 04 55", "@expect 55",
                             "@bytes 00 02", "@expect any", "@bytes 0E 04", "@idle"}) {
        logger.addStep(*sim::parseStep(line));
    }
    logger.connected(t0);
    EXPECT_EQ(logger.advance(t0 + 299ms), "");
    EXPECT_EQ(logger.advance(t0 + 300ms), bytes({0x13, 0x13, 0x00, 0x04, 0x55}));
    EXPECT_EQ(logger.advance(t0 + 5s), "");                 // no retries: the script waits
    EXPECT_EQ(logger.receive(bytes({0xC0}), t0 + 5s), "");  // a status byte is no answer
    // A second answer to the echo test is not the version that host open asks for.
    EXPECT_EQ(logger.receive("UU", t0 + 5s), bytes({0x00, 0x02}));
    EXPECT_EQ(logger.receive(bytes({23}), t0 + 5s), bytes({0x0E, 0x04}));
}

TEST(SimLogger, PacedTextWaitsForEachEcho) {
    SimLogger logger = openedLogger();
    logger.addStep(*sim::parseStep("@paced AB"));
    EXPECT_EQ(logger.advance(t0 + 1s), "A");
    EXPECT_EQ(logger.advance(t0 + 2s), "");
    EXPECT_FALSE(logger.nextDue());
    EXPECT_EQ(logger.receive(bytes({0xC4}), t0 + 2s), "");  // busy is no echo
    EXPECT_EQ(logger.receive("A", t0 + 2s), "B");
    EXPECT_TRUE(logger.done());
}

// Two to four characters a second, the same each run for the same seed.
TEST(SimLogger, TrickledTextIsJitteredReproducibly) {
    const auto gaps = [](const char* seed) {
        SimLogger logger = openedLogger();
        logger.addStep(*sim::parseStep(seed));
        logger.addStep(*sim::parseStep("@trickle CQ TEST DE K1ABC"));
        std::vector<long long> ms;
        Time last = t0 + 1s;
        EXPECT_EQ(logger.advance(last), "C");
        while (const auto due = logger.nextDue()) {
            EXPECT_EQ(logger.advance(*due).size(), 1u);
            ms.push_back(
                std::chrono::duration_cast<std::chrono::milliseconds>(*due - last).count());
            last = *due;
        }
        EXPECT_TRUE(logger.done());
        return ms;
    };
    const auto first = gaps("@seed 7");
    ASSERT_EQ(first.size(), 15u);
    for (long long gap : first) {
        EXPECT_GE(gap, 250);
        EXPECT_LE(gap, 500);
    }
    EXPECT_EQ(gaps("@seed 7"), first);
    EXPECT_NE(gaps("@seed 8"), first);
}

// The benchmark's sessions: every directive in them is well formed (a misspelt one would be
// sent to the keyer as text).
TEST(SimLogger, SessionScriptsHoldNoMalformedDirectives) {
    for (const char* name : {"startup", "trickle", "clear", "paced"}) {
        std::ifstream file(std::string(VANTREL_SOURCE_DIR "/bench/sessions/") + name + ".txt");
        ASSERT_TRUE(file) << name;
        std::stringstream text;
        text << file.rdbuf();
        const auto steps = sim::parseScript(text.str());
        EXPECT_FALSE(steps.empty()) << name;
        for (const Step& step : steps) {
            EXPECT_FALSE(step.kind == Step::Kind::Text && step.text.find('@') == 0)
                << name << ": " << step.text;
        }
    }
}

}  // namespace
