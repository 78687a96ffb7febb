#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bridge/own_bytes_queue.h"

namespace {

using bridge::Origin;
using bridge::OwnBytesQueue;
using bridge::Piece;

std::string bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) {
        s += static_cast<char>(v);
    }
    return s;
}

std::string joined(const std::vector<Piece>& pieces) {
    std::string all;
    for (const Piece& p : pieces) {
        all += p.bytes;
    }
    return all;
}

// A logger's stream and where its commands end, restated from the keyer's protocol: speed
// 02 14, mode 0E 40, text C and Q, echo test 00 04 55, merge 1B 41 52, load defaults 0F and 15
// values, text K.
const std::string kStream =
    bytes({0x02, 0x14, 0x0E, 0x40, 'C',  'Q',  0x00, 0x04, 0x55, 0x1B, 'A',  'R',  0x0F, 0x01, 0x02,
           0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 'K'});
const std::vector<std::size_t> kBoundaries{0, 2, 4, 5, 6, 9, 12, 28, 29};

std::size_t firstBoundaryFrom(std::size_t at) {
    for (std::size_t b : kBoundaries) {
        if (b >= at) {
            return b;
        }
    }
    return kStream.size();
}

// The logger's stream arrives in two chunks split at every point, and the operator's bytes are
// given in between: they reach the keyer where the command under way ends, the logger's bytes
// keep their order, and every piece is whole.
TEST(OwnBytesQueue, OwnBytesGoInAtTheFirstBoundaryAfterTheyAreGivenAtEverySplit) {
    struct Own {
        const char* what;
        std::vector<std::pair<std::string, Origin>> given;
        std::string goesIn;  // what the keyer gets of them, together
    };
    const std::vector<Own> owns{
        {"a typed character", {{"E", Origin::Typed}}, "E"},
        {"two typed characters", {{"E", Origin::Typed}, {"T", Origin::Typed}}, "ET"},
        {"a speed command", {{bytes({0x02, 0x1C}), Origin::Command}}, bytes({0x02, 0x1C})},
        {"a newer speed replacing a waiting one",
         {{bytes({0x02, 0x1C}), Origin::Command}, {bytes({0x02, 0x1E}), Origin::Command}},
         bytes({0x02, 0x1E})},
        {"typed, then speed",
         {{"E", Origin::Typed}, {bytes({0x02, 0x1C}), Origin::Command}},
         "E" + bytes({0x02, 0x1C})},
    };
    for (const Own& own : owns) {
        for (std::size_t split = 0; split <= kStream.size(); ++split) {
            SCOPED_TRACE(std::string(own.what) + ", split at " + std::to_string(split));
            OwnBytesQueue queue;
            std::vector<Piece> out = queue.chunk(std::string_view(kStream).substr(0, split));
            const bool between = firstBoundaryFrom(split) == split;
            for (const auto& [b, origin] : own.given) {
                const std::vector<Piece> now = queue.own(b, origin);
                out.insert(out.end(), now.begin(), now.end());
            }
            if (between) {  // not waiting: the newer command cannot replace a sent one
                EXPECT_FALSE(queue.waiting());
            }
            const std::vector<Piece> rest = queue.chunk(std::string_view(kStream).substr(split));
            out.insert(out.end(), rest.begin(), rest.end());

            const std::size_t at = firstBoundaryFrom(split);
            std::string goesIn = own.goesIn;
            if (between && own.given.size() == 2 && own.given[1].second == Origin::Command &&
                own.given[0].second == Origin::Command) {
                goesIn = own.given[0].first + own.given[1].first;
            }
            EXPECT_EQ(joined(out), kStream.substr(0, at) + goesIn + kStream.substr(at));
            EXPECT_FALSE(queue.waiting());
            for (const Piece& p : out) {
                EXPECT_FALSE(p.bytes.empty());
                if (p.origin != Origin::Logger) {
                    // Never a piece of the logger's and ours together.
                    EXPECT_TRUE(goesIn.find(p.bytes) != std::string::npos) << p.bytes;
                }
            }
        }
    }
}

TEST(OwnBytesQueue, OwnBytesWaitWhileNoChunkEndsTheCommand) {
    OwnBytesQueue queue;
    EXPECT_EQ(queue.chunk(bytes({0x0E})), (std::vector<Piece>{{bytes({0x0E}), Origin::Logger}}));
    EXPECT_TRUE(queue.own("E", Origin::Typed).empty());
    EXPECT_TRUE(queue.waiting());
    // A chunk that ends the command: it is cut there, ours in between, the rest after.
    EXPECT_EQ(queue.chunk(bytes({0x40, 'C', 'Q'})),
              (std::vector<Piece>{
                  {bytes({0x40}), Origin::Logger}, {"E", Origin::Typed}, {"CQ", Origin::Logger}}));
}

// A new keyer starts with what was still to be written: its commands decide the boundaries, and
// what waited of ours was for the keyer that went away.
TEST(OwnBytesQueue, ARestartReadsWhatIsPendingAndDropsWhatWaited) {
    OwnBytesQueue queue;
    queue.chunk(bytes({0x02}));
    queue.own("E", Origin::Typed);
    queue.restart(bytes({0x0E}));
    EXPECT_FALSE(queue.waiting());
    EXPECT_TRUE(queue.own("T", Origin::Typed).empty());  // 0E still wants its value
    EXPECT_EQ(joined(queue.chunk(bytes({0x40}))), bytes({0x40}) + "T");
    queue.restart({});
    EXPECT_EQ(joined(queue.own("T", Origin::Typed)), "T");
}

}  // namespace
