#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "keyer/interpreter.h"

namespace {

using keyer::readChunk;

std::string bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) {
        s += static_cast<char>(v);
    }
    return s;
}

struct Case {
    const char* what;
    std::string chunk;
    bool cancel;
    std::vector<int> speeds;
    std::string codes;
};

class ReadChunkTest : public testing::TestWithParam<Case> {};

TEST_P(ReadChunkTest, ReadsCancelSpeedAndText) {
    const Case& c = GetParam();
    const keyer::ChunkReading r = readChunk(c.chunk);
    EXPECT_EQ(r.cancel, c.cancel) << c.what;
    EXPECT_EQ(r.speeds, c.speeds) << c.what;
    EXPECT_EQ(r.codes, c.codes) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReadChunkTest,
    testing::Values(
        Case{"plain text", "CQ TEST", false, {}, "67813284698384"},
        Case{"lone clear buffer", bytes({0x0A}), true, {}, ""},
        Case{"clear buffer with text is no cancel", bytes({0x0A, 0x41}), false, {}, "65"},
        Case{"abort run anywhere", bytes({0x41, 0x0A, 0x09, 0x06, 0x18, 0x00, 0x42}), true, {}, ""},
        Case{"abort run hides a speed",
             bytes({0x02, 0x1E, 0x0A, 0x09, 0x06, 0x18, 0x00}),
             true,
             {},
             ""},
        Case{"speed 30", bytes({0x02, 0x1E}), false, {30}, ""},
        Case{"speed 4 and 51 ignored", bytes({0x02, 0x04, 0x02, 0x33}), false, {}, "51"},
        Case{"trailing speed byte sets nothing", bytes({0x41, 0x02}), false, {}, "65"},
        Case{"speed 50 also queues its parameter", bytes({0x02, 0x32}), false, {50}, "50"},
        Case{"speed 32 queues a blank", bytes({0x02, 0x20}), false, {32}, "32"},
        Case{
            "every match in turn, last wins", bytes({0x02, 0x0A, 0x02, 0x14}), false, {10, 20}, ""},
        Case{"parameter examined again", bytes({0x02, 0x02, 0x10}), false, {16}, ""},
        Case{"host open then command", bytes({0x00, 0x02, 0x0E, 0x40}), false, {14}, "64"},
        Case{"prefix up to 7 dropped", bytes({0x0E, 0x37, 0x41}), false, {}, "65"},
        Case{"7 after text is text", bytes({0x41, 0x37, 0x42}), false, {}, "655566"},
        Case{"7 first is text", bytes({0x37, 0x41}), false, {}, "5565"},
        Case{"only the first 7 counts",
             bytes({0x41, 0x37, 0x0E, 0x37, 0x42}),
             false,
             {},
             "65555566"},
        Case{"a b c queued", "abc", false, {}, "979899"},
        Case{"d to ~ not queued", "dz{|}~", false, {}, ""},
        Case{"control and high bytes skipped",
             bytes({0x00, 0x1F, 0x7F, 0x80, 0xC4, 0xFF, 0x45}),
             false,
             {},
             "69"},
        Case{"speed comes from bytes the prefix drop removes",
             bytes({0x02, 0x1C, 0x0E, 0x37, 0x48}),
             false,
             {28},
             "72"}));

TEST(ReadChunk, PrefixDropKeepsAtMost1024BytesAfterTheSeven) {
    const std::string chunk = bytes({0x01, 0x37}) + std::string(2000, 'E');
    EXPECT_EQ(readChunk(chunk).codes.size(), 1024u * 2);
}

TEST(ReadChunk, ChunkingMattersOnlyAsPinned) {
    // Read one byte at a time, "CQ" queues the same codes as in one chunk...
    std::string oneByOne;
    for (char c : std::string("CQ")) {
        oneByOne += readChunk(std::string(1, c)).codes;
    }
    EXPECT_EQ(oneByOne, readChunk("CQ").codes);
    // ...but a speed command split across two chunks is not seen.
    EXPECT_TRUE(readChunk(bytes({0x02})).speeds.empty());
    EXPECT_TRUE(readChunk(bytes({0x1C})).speeds.empty());
}

struct PaneCase {
    std::string chunk;
    std::string shown;
};

class TransmitPaneTest : public testing::TestWithParam<PaneCase> {};

TEST_P(TransmitPaneTest, DropsLeadingControlBytes) {
    EXPECT_EQ(keyer::transmitPaneText(GetParam().chunk), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Table, TransmitPaneTest,
    testing::Values(PaneCase{bytes({0x02, 0x1C, 0x48, 0x49}), "HI"},
                    PaneCase{bytes({0x0A}), bytes({0x0A})}, PaneCase{bytes({0x02, 0x1C}), ""},
                    PaneCase{bytes({0x41, 0x0A, 0x42}), bytes({0x41, 0x0A, 0x42})},
                    PaneCase{"", ""}, PaneCase{"CQ", "CQ"}));

}  // namespace
