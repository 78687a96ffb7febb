// The simulated keyer against byte sequences a WinKeyer 2 sends and takes.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "sim_keyer.h"

namespace {

using namespace std::chrono_literals;
using sim::SimKeyer;
using sim::Time;

const Time t0{};
const std::string kHostOpen{"\x00\x02", 2};

std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) {
        out += static_cast<char>(v);
    }
    return out;
}

// A keyer that has been opened by its host at t0.
SimKeyer openKeyer(int speed = 20) {
    SimKeyer keyer;
    keyer.receive(kHostOpen, t0);
    keyer.receive(bytes({0x02, speed}), t0);
    return keyer;
}

struct Said {
    std::chrono::milliseconds at;
    std::string bytes;
    bool operator==(const Said&) const = default;
};

void PrintTo(const Said& s, std::ostream* os) {
    *os << s.at.count() << "ms:";
    for (unsigned char c : s.bytes) {
        *os << ' ' << std::hex << static_cast<int>(c) << std::dec;
    }
}

// Everything the keyer says until it falls quiet, with its times from t0 (rounded down to ms).
std::vector<Said> runToQuiet(SimKeyer& keyer) {
    std::vector<Said> said;
    while (const auto due = keyer.nextDue()) {
        const std::string out = keyer.advance(*due);
        if (!out.empty()) {
            said.push_back({std::chrono::duration_cast<std::chrono::milliseconds>(*due - t0), out});
        }
    }
    return said;
}

TEST(SimKeyer, AnswersEchoTestAlwaysAndObeysUpperCaseTextOnlyAfterHostOpen) {
    SimKeyer keyer;
    // Text and speed before host open are ignored; the echo test is answered.
    EXPECT_EQ(keyer.receive(bytes({0x13, 0x13, 0x02, 0x0F, 'E', 0x00, 0x04, 0x55}), t0), "U");
    EXPECT_EQ(keyer.buffered(), 0u);
    EXPECT_FALSE(keyer.nextDue());
    EXPECT_EQ(keyer.receive(kHostOpen, t0), bytes({23}));  // version byte of a WinKeyer 2
    EXPECT_TRUE(keyer.hostOpen());
    EXPECT_EQ(keyer.receive(bytes({0x15}), t0), bytes({0xC0}));  // status on request
    EXPECT_EQ(keyer.receive("e#t", t0), "");  // lower case and unknown characters are ignored
    EXPECT_FALSE(keyer.nextDue());
    // Host close: text is ignored again.
    keyer.receive(bytes({0x00, 0x03}), t0);
    EXPECT_EQ(keyer.receive("E", t0), "");
}

TEST(SimKeyer, AdminAnswersHaveTheirLengths) {
    SimKeyer keyer;
    EXPECT_EQ(keyer.receive(bytes({0x00, 0x07}), t0).size(), 15u);   // get values
    EXPECT_EQ(keyer.receive(bytes({0x00, 0x0C}), t0).size(), 256u);  // dump EEPROM
    // Load EEPROM takes 256 bytes that are not commands: 0x00 0x02 inside them opens nothing.
    std::string load = bytes({0x00, 0x0D});
    for (int i = 0; i < 128; ++i) {
        load += kHostOpen;
    }
    EXPECT_EQ(keyer.receive(load, t0), "");
    EXPECT_FALSE(keyer.hostOpen());
}

// PARIS is 50 units with its word space: 3 s at 20 wpm, 1.5 s at 40 wpm.
TEST(SimKeyer, EchoesEachCharacterWhenKeyedAtParisTiming) {
    // Times of each echo in units: P ends at 11, A at 14+5, R at 22+7, I at 32+3, S at 38+5,
    // then the word space ends 7 units after S.
    const std::vector<std::pair<char, int>> units{{'P', 11}, {'A', 19}, {'R', 29},
                                                  {'I', 35}, {'S', 43}, {' ', 50}};
    for (const int wpm : {20, 40}) {
        SCOPED_TRACE(wpm);
        SimKeyer keyer = openKeyer(wpm);
        EXPECT_EQ(keyer.receive("PARIS ", t0), bytes({0xC4}));  // busy as sending starts
        std::vector<Said> expected;
        const int msPerUnit = 1200 / wpm;
        for (const auto& [c, at] : units) {
            expected.push_back({std::chrono::milliseconds(at * msPerUnit), std::string(1, c)});
        }
        expected.back().bytes += static_cast<char>(0xC0);  // idle after the last
        EXPECT_EQ(runToQuiet(keyer), expected);
        EXPECT_EQ(keyer.keyed(), "PARIS ");
    }
}

TEST(SimKeyer, ReportsXoffAboveTwoThirdsOfItsBufferAndClearsIt) {
    SimKeyer keyer = openKeyer(20);
    // The first E goes out at once; 85 more fill the 128-byte buffer to exactly two-thirds.
    std::string out = keyer.receive(std::string(86, 'E'), t0);
    EXPECT_EQ(out, bytes({0xC4}));
    EXPECT_EQ(keyer.buffered(), 85u);
    // One more is above two-thirds: XOFF with busy.
    EXPECT_EQ(keyer.receive("E", t0), bytes({0xC5}));
    // The first E ends at 60 ms; the next one leaves the buffer after the letter gap, at
    // 240 ms: XOFF is lifted then.
    EXPECT_EQ(keyer.advance(t0 + 60ms), "E");
    EXPECT_EQ(keyer.advance(t0 + 240ms), bytes({0xC4}));
}

TEST(SimKeyer, ClearBufferStopsAtOnceAndRevertsBufferedSpeed) {
    SimKeyer keyer = openKeyer(20);
    keyer.receive(bytes({0x1C, 40, 'T', 'E', 'S', 'T'}), t0);
    EXPECT_EQ(keyer.speed(), 40);
    // 0x0A in the middle of the T: no echo, idle at once, the 0x02 speed back.
    EXPECT_EQ(keyer.receive(bytes({0x0A}), t0 + 30ms), bytes({0xC0}));
    EXPECT_EQ(keyer.speed(), 20);
    EXPECT_EQ(keyer.buffered(), 0u);
    EXPECT_TRUE(runToQuiet(keyer).empty());
    EXPECT_EQ(keyer.keyed(), "");
}

TEST(SimKeyer, SerialEchoFollowsTheModeRegister) {
    SimKeyer keyer = openKeyer(20);
    keyer.receive(bytes({0x0E, 0x00, 'E'}), t0);  // serial echo off
    EXPECT_EQ(keyer.advance(t0 + 60ms), bytes({0xC0}));
    EXPECT_EQ(keyer.keyed(), "E");
}

}  // namespace
