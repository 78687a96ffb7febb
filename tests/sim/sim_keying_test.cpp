// The simulated keyer's key against times worked out by hand from docs/keyer-timing.md. At
// 20 wpm one unit is 1200 / 20 = 60 ms: a dit 60, a dah 180, the space inside a character 60,
// the letter gap 180, a word space 4 units = 240 more.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "sim_keyer.h"
#include "support/param_names.h"

namespace {

using namespace std::chrono_literals;
using sim::SimKeyer;
using sim::Time;

const Time t0{};

std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) {
        out += static_cast<char>(v);
    }
    return out;
}

struct Input {
    double atMs;
    std::string bytes;
};

struct Case {
    const char* what;
    std::vector<Input> inputs;  // after host open and speed 20 at 0 ms
    std::vector<double> edges;  // ms: down, up, down, up, ...
    std::string echoed;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.what;
}

Time at(double ms) {
    return t0 + std::chrono::nanoseconds(std::llround(ms * 1e6));
}

class Keying : public testing::TestWithParam<Case> {};

TEST_P(Keying, EdgesFallWhereTheArithmeticSays) {
    const Case& c = GetParam();
    SimKeyer keyer;
    std::string said = keyer.receive(bytes({0x00, 0x02, 0x02, 20}), t0);
    for (const Input& input : c.inputs) {
        said += keyer.receive(input.bytes, at(input.atMs));
    }
    while (const auto due = keyer.nextDue()) {
        said += keyer.advance(*due);
    }
    const auto edges = keyer.takeKeyEdges();
    ASSERT_EQ(edges.size(), c.edges.size()) << c.what;
    for (std::size_t i = 0; i < edges.size(); ++i) {
        const double ms = std::chrono::duration<double, std::milli>(edges[i].at - t0).count();
        EXPECT_NEAR(ms, c.edges[i], 0.001) << c.what << ", edge " << i;
        EXPECT_EQ(edges[i].down, i % 2 == 0) << c.what << ", edge " << i;
    }
    EXPECT_EQ(keyer.keyed(), c.echoed) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Table, Keying,
    testing::Values(
        // E [0,60]; the letter gap 180 puts I at 240: [240,300], space 60, [360,420].
        Case{"plain", {{0, "EI"}}, {0, 60, 240, 300, 360, 420}, "EI"},
        // Weighting 40: dW = 60 * (40 - 50) / 50 = -12. Marks 48, element space 72, letter gap
        // 180 + 12 = 192: E [0,48], I at 240 [240,288], [360,408]. The period stays.
        Case{"weighting", {{0, bytes({0x03, 40}) + "EI"}}, {0, 48, 240, 288, 360, 408}, "EI"},
        // Ratio 40: a dah is 3 * 60 * 40 / 50 = 144. T [0,144], gap 180, A at 324: [324,384],
        // space 60, dah [444,588].
        Case{"ratio", {{0, bytes({0x17, 40}) + "TA"}}, {0, 144, 324, 384, 444, 588}, "TA"},
        // Compensation 10: marks 70, element space 50, letter gap 170: E [0,70], I at 240
        // [240,310], [360,430].
        Case{"compensation", {{0, bytes({0x11, 10}) + "EI"}}, {0, 70, 240, 310, 360, 430}, "EI"},
        // First extension 30, only after the key has rested: E [0,90], I follows at 90 + 180 =
        // 270 without it: [270,330], [390,450]. E again at 1000, after a rest: [1000,1090].
        Case{"first extension",
             {{0, bytes({0x10, 30}) + "EI"}, {1000, "E"}},
             {0, 90, 270, 330, 390, 450, 1000, 1090},
             "EIE"},
        // Farnsworth 40 at 20 wpm: elements at e = 1200 / 40 = 30; spacing s = 1000 * (60 * 40
        // - 37.2 * 20) / (19 * 20 * 40) = 108.947368 ms. E [0,30], letter gap 3s = 326.842105:
        // T at 356.842105 for a dah of 90.
        Case{"farnsworth", {{0, bytes({0x0D, 40}) + "ET"}}, {0, 30, 356.842105, 446.842105}, "ET"},
        // A R merged is .-.-. with no letter gap: [0,60] [120,300] [360,420] [480,660]
        // [720,780]; both letters are echoed at its end.
        Case{"merge",
             {{0, bytes({0x1B, 'A', 'R'})}},
             {0, 60, 120, 300, 360, 420, 480, 660, 720, 780},
             "AR"},
        // E, letter gap to 240, blank 4 units to 480: the next E at 480, 7 units after 60.
        Case{"word space", {{0, "E E"}}, {0, 60, 480, 540}, "E E"},
        // The half space adds 30: the second E at 240 + 30.
        Case{"half space", {{0, "E|E"}}, {0, 60, 270, 330}, "E|E"},
        // A 1 s wait from 240 to 1240, then E with no gap of its own.
        Case{"wait", {{0, "E" + bytes({0x1A, 1}) + "E"}}, {0, 60, 1240, 1300}, "EE"},
        // Key down from 240 for 1 s; the next E starts as it ends.
        Case{"key down", {{0, "E" + bytes({0x19, 1}) + "E"}}, {0, 60, 240, 1240, 1240, 1300}, "EE"},
        // E at 20 wpm, then 40 wpm (unit 30) from the buffered speed on: E [240,270], gap 90,
        // then back to 20 after 1E: E at 360 [360,420].
        Case{"buffered speed",
             {{0, "E" + bytes({0x1C, 40}) + "E" + bytes({0x1E}) + "E"}},
             {0, 60, 240, 270, 360, 420},
             "EEE"},
        // Load defaults: speed 20, weighting 40 (dW -12), compensation 10, ratio 40 (dah 144).
        // T: 144 - 12 + 10 = 142; letter gap 180 + 12 - 10 = 182; E at 324: 60 - 2 = 58.
        Case{"load defaults",
             {{0, bytes({0x0F, 0x04, 20, 0x06, 40, 0, 0, 5, 25, 0, 10, 0, 50, 40, 0x06, 0xFF}) +
                      "TE"}},
             {0, 142, 324, 382},
             "TE"},
        // 40 wpm arrives in E's letter gap: the I that starts at 240 is keyed at 40 (unit 30).
        Case{"speed for what starts later",
             {{0, "EI"}, {100, bytes({0x02, 40})}},
             {0, 60, 240, 270, 300, 330},
             "EI"},
        // A clear at 100 cuts the T's dah there; the E after it starts at once.
        Case{"clear", {{0, "T"}, {100, bytes({0x0A}) + "E"}}, {0, 100, 100, 160}, "E"},
        // Tune from 0 to 500 holds back the E, which starts as the key comes up.
        Case{"tune holds items back",
             {{0, bytes({0x0B, 1})}, {50, "E"}, {500, bytes({0x0B, 0})}},
             {0, 500, 500, 560},
             "E"},
        // A tune nobody lets up: the keyer's watchdog lets the key up after 100 s, and the E
        // held back by it starts then.
        Case{"tune ends by its watchdog",
             {{0, bytes({0x0B, 1})}, {50, "E"}},
             {0, 100000, 100000, 100060},
             "E"},
        // Tune over a dah that is keying: the key stays down until tune ends at 300.
        Case{"tune over a mark",
             {{0, "T"}, {100, bytes({0x0B, 1})}, {300, bytes({0x0B, 0})}},
             {0, 300},
             "T"},
        // Backspace takes the I that has not started; the E keying goes on.
        Case{"backspace", {{0, "EI"}, {10, bytes({0x08})}}, {0, 60}, "E"},
        // Reset at 100 cuts the T (weighting 40) and restores the settings: after a new host
        // open, E is 60 at the pot's 20 wpm.
        Case{"reset",
             {{0, bytes({0x03, 40}) + "T"}, {100, bytes({0x00, 0x01, 0x00, 0x02}) + "E"}},
             {0, 100, 100, 160},
             "E"}),
    [](const testing::TestParamInfo<Case>& info) {
        return param_names::caseName(info.index, info.param.what);
    });

// PARIS with Farnsworth still takes 60 / w seconds: 31 element units at 40 wpm (930 ms) and
// 19 spacing units of 108.947 ms (2070 ms): the blank after it ends at 3000 ms, as without
// Farnsworth, but each dit lasts 30 ms. Farnsworth set on its own and by load defaults.
TEST(SimKeyer, FarnsworthKeepsTheWordTime) {
    for (const std::string& setting :
         {bytes({0x0D, 40}),
          bytes({0x0F, 0x04, 20, 0x06, 50, 0, 0, 5, 25, 0, 0, 40, 50, 50, 0x06, 0xFF})}) {
        SimKeyer keyer;
        keyer.receive(bytes({0x00, 0x02, 0x02, 20}) + setting + "PARIS ", t0);
        Time lastEcho{};
        while (const auto due = keyer.nextDue()) {
            if (!keyer.advance(*due).empty()) {
                lastEcho = *due;
            }
        }
        EXPECT_EQ(keyer.keyed(), "PARIS ");
        const double ms = std::chrono::duration<double, std::milli>(lastEcho - t0).count();
        EXPECT_NEAR(ms, 3000, 0.001);
        const auto edges = keyer.takeKeyEdges();
        ASSERT_GE(edges.size(), 2u);
        EXPECT_EQ(edges[1].at - edges[0].at, 30ms);  // P's first dit at 40 wpm
    }
}

}  // namespace
