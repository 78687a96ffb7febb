#include <gtest/gtest.h>

#include <string>

#include "keyer/transmit_pane.h"
#include "support/param_names.h"

namespace {

std::string bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) {
        s += static_cast<char>(v);
    }
    return s;
}

struct PaneCase {
    std::string chunk;
    std::string shown;
};

// Shown in the test's name and in a failure: the chunk's bytes.
void PrintTo(const PaneCase& c, std::ostream* os) {
    *os << "chunk " << param_names::hex(c.chunk);
}

class TransmitPaneTest : public testing::TestWithParam<PaneCase> {};

TEST_P(TransmitPaneTest, DropsLeadingControlBytes) {
    EXPECT_EQ(keyer::transmitPaneText(GetParam().chunk), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Table, TransmitPaneTest,
    testing::Values(PaneCase{bytes({0x02, 0x1C, 0x48, 0x49}), "HI"},
                    PaneCase{bytes({0x0A}), bytes({0x0A})}, PaneCase{bytes({0x02, 0x1C}), ""},
                    PaneCase{bytes({0x41, 0x0A, 0x42}), bytes({0x41, 0x0A, 0x42})},
                    PaneCase{"", ""}, PaneCase{"CQ", "CQ"}),
    [](const testing::TestParamInfo<PaneCase>& info) {
        return param_names::caseName(info.index, param_names::hex(info.param.chunk));
    });

}  // namespace
