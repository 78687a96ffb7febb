// The simulated logger: how it opens the keyer, paces its text and reads its script.
#include <gtest/gtest.h>

#include <string>

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
        "# a contest exchange\n\nCQ TEST \n@speed 32\n  @wait 1.5\n@cancel\r\n@idle\n@nonsense\n");
    ASSERT_EQ(steps.size(), 6u);
    EXPECT_EQ(steps[0].text, "CQ TEST ");  // text is sent as written, blanks included
    EXPECT_EQ(steps[1].kind, Step::Kind::Speed);
    EXPECT_EQ(steps[1].value, 32);
    EXPECT_EQ(steps[2].kind, Step::Kind::Wait);
    EXPECT_DOUBLE_EQ(steps[2].seconds, 1.5);
    EXPECT_EQ(steps[3].kind, Step::Kind::Cancel);
    EXPECT_EQ(steps[4].kind, Step::Kind::Idle);
    EXPECT_EQ(steps[5].kind, Step::Kind::Text);  // an unknown directive is text
}

}  // namespace
