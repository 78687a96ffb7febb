// The keyer stream reader: command lengths, the events each command yields, and that chunking
// never matters.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "keyer/stream_reader.h"
#include "support/param_names.h"

namespace keyer {
// Found by GoogleTest beside the type it prints.
void PrintTo(const StreamEvent& e, std::ostream* os) {
    *os << "{" << static_cast<int>(e.kind) << " " << int{e.a} << " " << int{e.b} << "}";
}
}  // namespace keyer

namespace {

using keyer::StreamEvent;
using keyer::StreamReader;
using Kind = StreamEvent::Kind;
using Events = std::vector<StreamEvent>;

std::string bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) {
        s += static_cast<char>(v);
    }
    return s;
}

StreamEvent ev(Kind kind, int a = 0, int b = 0) {
    return {kind, static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b)};
}

Events readWhole(const std::string& stream) {
    StreamReader reader;
    return reader.read(stream);
}

// One command with its parameters (printable, so a length too short shows up as text), and
// what the keyer does with it. `head` is how many leading bytes are command and sub-command.
struct Command {
    std::string bytes;
    std::size_t head;
    Events events;
};

void PrintTo(const Command& c, std::ostream* os) {
    for (unsigned char b : c.bytes.substr(0, 4)) {
        *os << std::hex << int{b} << ' ';
    }
}

const std::string kDefaults = bytes({0x0F, 0xC4, 0x18, 0x06, 0x32, 0x00, 0x00, 0x0A, 0x19, 0x00,
                                     0x00, 0x00, 0x32, 0x32, 0x07, 0xFF});

std::vector<Command> commandTable() {
    const auto one = [](int command, Events events = {}) {
        return Command{bytes({command, 'A'}), 1, std::move(events)};
    };
    const auto admin = [](int sub, int parameters, Events events = {}) {
        return Command{bytes({0x00, sub}) + std::string(parameters, 'P'), 2, std::move(events)};
    };
    const auto pointer = [](int sub, int parameters) {
        return Command{bytes({0x16, sub}) + std::string(parameters, 'P'), 2, {}};
    };
    return {
        // Commands with one parameter ('A' = 0x41).
        one(0x01),
        one(0x02, {ev(Kind::Speed, 'A')}),
        one(0x03, {ev(Kind::Weighting, 'A')}),
        one(0x06),
        one(0x09),
        one(0x0B, {ev(Kind::Tune, 1)}),
        one(0x0C),
        one(0x0D, {ev(Kind::Farnsworth, 'A')}),
        one(0x0E),
        one(0x10, {ev(Kind::FirstExtension, 'A')}),
        one(0x11, {ev(Kind::KeyCompensation, 'A')}),
        one(0x12),
        one(0x14),
        one(0x17, {ev(Kind::Ratio, 'A')}),
        one(0x18),
        one(0x19, {ev(Kind::KeyDown, 'A')}),
        one(0x1A, {ev(Kind::Wait, 'A')}),
        one(0x1C, {ev(Kind::BufferedSpeed, 'A')}),
        one(0x1D),
        Command{bytes({0x0B, 0x00}), 1, {ev(Kind::Tune, 0)}},
        // More parameters, and none.
        Command{bytes({0x04, 'A', 'B'}), 1, {}},
        Command{bytes({0x05, 'A', 'B', 'C'}), 1, {}},
        Command{bytes({0x1B, 'A', 'R'}), 1, {ev(Kind::Merge, 'A', 'R')}},
        Command{bytes({0x07}), 1, {}},
        Command{bytes({0x08}), 1, {ev(Kind::Backspace)}},
        Command{bytes({0x0A}), 1, {ev(Kind::Clear)}},
        Command{bytes({0x13}), 1, {}},
        Command{bytes({0x15}), 1, {}},
        Command{bytes({0x1E}), 1, {ev(Kind::CancelBufferedSpeed)}},
        Command{bytes({0x1F}), 1, {}},
        // Load defaults, fields 'A'..'O': speed 2, weighting 4, 1st extension 9, key
        // compensation 10, Farnsworth 11, ratio 13.
        Command{bytes({0x0F}) + "ABCDEFGHIJKLMNO",
                1,
                {ev(Kind::Speed, 'B'), ev(Kind::Weighting, 'D'), ev(Kind::FirstExtension, 'I'),
                 ev(Kind::KeyCompensation, 'J'), ev(Kind::Farnsworth, 'K'), ev(Kind::Ratio, 'M')}},
        // Buffer pointer: 00 alone, 01..03 with a value; anything else alone.
        pointer(0x00, 0),
        pointer(0x01, 1),
        pointer(0x02, 1),
        pointer(0x03, 1),
        pointer(0x04, 0),
        // Admin sub-commands.
        admin(0x00, 1),
        admin(0x01, 0, {ev(Kind::Reset)}),
        admin(0x02, 0),
        admin(0x03, 0),
        admin(0x04, 1),
        admin(0x05, 0),
        admin(0x06, 0),
        admin(0x07, 0),
        admin(0x08, 0),
        admin(0x09, 0),
        admin(0x0A, 0),
        admin(0x0B, 0),
        admin(0x0C, 0),
        admin(0x0D, 256),
        admin(0x0E, 1),
        admin(0x0F, 1),
        admin(0x11, 0),
        admin(0x12, 0),
        admin(0x13, 2),
        admin(0x14, 0),
        admin(0x15, 0),
        admin(0x16, 1),
        admin(0x17, 0),
        admin(0x18, 0),
        admin(0x19, 1),
        admin(0x1A, 0),
        admin(0xFF, 0),
        // Text, the blank included; bytes from 0x80 up are neither text nor commands.
        Command{" ", 1, {ev(Kind::Text, 0x20)}},
        Command{"~", 1, {ev(Kind::Text, '~')}},
        Command{"a", 1, {ev(Kind::Text, 'a')}},
        Command{bytes({0x7F}), 1, {ev(Kind::Text, 0x7F)}},
        Command{bytes({0x80}), 1, {}},
        Command{bytes({0xFF}), 1, {}},
    };
}

class CommandLength : public testing::TestWithParam<Command> {};

// Each command followed by an "E": a length one too short reads a parameter as text, one too
// long swallows the E.
TEST_P(CommandLength, SameEventsWholeByteByByteAndAtEverySplit) {
    const Command& c = GetParam();
    const std::string stream = c.bytes + "E";
    Events expected = c.events;
    expected.push_back(ev(Kind::Text, 'E'));

    EXPECT_EQ(readWhole(stream), expected);

    StreamReader reader;
    Events byByte;
    for (std::size_t i = 0; i < stream.size(); ++i) {
        ASSERT_EQ(reader.atBoundary(), i == 0 || i == c.bytes.size()) << "before byte " << i;
        for (const auto& e : reader.read(stream.substr(i, 1))) {
            byByte.push_back(e);
        }
    }
    EXPECT_TRUE(reader.atBoundary());
    EXPECT_EQ(byByte, expected);

    for (std::size_t cut = 1; cut < stream.size(); ++cut) {
        StreamReader split;
        Events events = split.read(stream.substr(0, cut));
        for (const auto& e : split.read(stream.substr(cut))) {
            events.push_back(e);
        }
        ASSERT_EQ(events, expected) << "cut at " << cut;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, CommandLength, testing::ValuesIn(commandTable()),
                         [](const testing::TestParamInfo<Command>& info) {
                             return param_names::caseName(
                                 info.index, param_names::hex(info.param.bytes.substr(0, 3)));
                         });

TEST(StreamReader, ClientStartUpsAndTheLoggersSpeedThenModeAreReadAsTheKeyerReadsThem) {
    // A client's start-up: no-ops, echo test, host open, load defaults. The 0x55 and the three
    // 0x32 are parameters, never text.
    EXPECT_EQ(readWhole(bytes({0x13, 0x13, 0x00, 0x04, 0x55, 0x00, 0x02}) + kDefaults + "CQ"),
              (Events{ev(Kind::Speed, 24), ev(Kind::Weighting, 50), ev(Kind::FirstExtension, 0),
                      ev(Kind::KeyCompensation, 0), ev(Kind::Farnsworth, 0), ev(Kind::Ratio, 50),
                      ev(Kind::Text, 'C'), ev(Kind::Text, 'Q')}));
    // Speed 20 then the mode register, its value 100 ms later in a chunk of its own: 0x40 is
    // the mode, not an "@".
    StreamReader reader;
    EXPECT_EQ(reader.read(bytes({0x02, 0x14, 0x0E})), (Events{ev(Kind::Speed, 20)}));
    EXPECT_FALSE(reader.atBoundary());
    EXPECT_EQ(reader.read(bytes({0x40})), Events{});
    EXPECT_TRUE(reader.atBoundary());
}

TEST(StreamReader, NothingIsReadAfterAFirmwareUploadBegins) {
    StreamReader reader;
    EXPECT_EQ(reader.read(bytes({'E', 0x00, 0x10, 'T', 0x0A, 0x00, 0x01})),
              (Events{ev(Kind::Text, 'E')}));
    EXPECT_EQ(reader.read("CQ"), Events{});
    EXPECT_FALSE(reader.atBoundary());  // nothing of ours may go into the image
}

// Random streams of the table's commands with random parameter bytes, interleaved with text
// and fed in random chunks: the text read back is exactly the text put in.
TEST(StreamReader, ParametersNeverBecomeText) {
    const auto table = commandTable();
    std::mt19937 random(20260107);
    const auto below = [&random](std::size_t n) { return static_cast<std::size_t>(random() % n); };
    for (int run = 0; run < 300; ++run) {
        std::string stream;
        std::string text;
        for (int item = 0; item < 40; ++item) {
            if (below(3) == 0) {
                const char t = static_cast<char>(0x20 + below(0x60));
                stream += t;
                text += t;
                continue;
            }
            Command c = table[below(table.size())];
            if (c.bytes.size() == 1 && static_cast<unsigned char>(c.bytes[0]) >= 0x20) {
                continue;  // text rows are text
            }
            for (std::size_t i = c.head; i < c.bytes.size(); ++i) {
                c.bytes[i] = static_cast<char>(below(256));
            }
            stream += c.bytes;
        }
        StreamReader reader;
        std::string read;
        for (std::size_t at = 0; at < stream.size();) {
            const std::size_t n = 1 + below(12);
            for (const auto& e : reader.read(stream.substr(at, n))) {
                if (e.kind == Kind::Text) {
                    read += static_cast<char>(e.a);
                }
            }
            at += n;
        }
        ASSERT_EQ(read, text) << "run " << run;
        ASSERT_TRUE(reader.atBoundary());
    }
}

}  // namespace
