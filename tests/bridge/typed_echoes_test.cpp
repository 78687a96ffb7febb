#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bridge/typed_echoes.h"

namespace {

using Kind = keyer::StreamEvent::Kind;

keyer::StreamEvent text(char c) {
    return {Kind::Text, static_cast<std::uint8_t>(c)};
}

// What the keyer is given: logger's text in lower case letters of this form "l:CQ", typed
// "t:E", and commands.
struct Given {
    std::vector<keyer::StreamEvent> events;
    bool typed;
};

Given logger(const std::string& s) {
    Given g{{}, false};
    for (char c : s) {
        g.events.push_back(text(c));
    }
    return g;
}
Given typed(const std::string& s) {
    Given g = logger(s);
    g.typed = true;
    return g;
}
Given command(Kind kind, bool byOperator = false, std::uint8_t a = 0, std::uint8_t b = 0) {
    return {{{kind, a, b}}, byOperator};
}

// The keyer's bytes, in order, for the logger: all but the echoes of what was typed.
TEST(TypedEchoes, HoldsBackOnlyTheEchoesOfTypedCharacters) {
    struct Case {
        const char* what;
        std::vector<Given> given;
        std::string fromKeyer;
        std::string forLogger;
    };
    const std::vector<Case> cases{
        {"status around a typed echo",
         {typed("E")},
         "\xC4"
         "E"
         "\xC0",
         "\xC4\xC0"},
        {"speed pot bytes pass",
         {typed("E")},
         "\x85"
         "E"
         "\xBF",
         "\x85\xBF"},
        {"the logger's echoes pass", {logger("CQ")}, "CQ", "CQ"},
        {"typed between the logger's text", {logger("CQ"), typed("C"), logger("Q")}, "CQCQ", "CQQ"},
        {"a typed letter equal to a later logger's one", {typed("C"), logger("CQ")}, "CCQ", "CQ"},
        {"an answer that matches nothing",
         {typed("E")},
         "\x17"
         "E",
         "\x17"},
        {"an echo the keyer skipped", {logger("a"), typed("E")}, "E", ""},
        {"a clear empties the buffer", {typed("E"), command(Kind::Clear), logger("T")}, "ET", "ET"},
        {"a backspace takes the last one back",
         {logger("T"), typed("E"), command(Kind::Backspace)},
         "TE",
         "TE"},
        {"merged letters", {command(Kind::Merge, true, 'A', 'R'), logger("K")}, "ARK", "K"},
        {"a merge of a status byte's value",
         {command(Kind::Merge, true, 'A', 0xC4)},
         "\xC4"
         "A",
         "\xC4"},
        {"nothing typed: everything passes",
         {},
         std::string("\x00\x55\xC0\xFF", 4),
         std::string("\x00\x55\xC0\xFF", 4)},
    };
    for (const Case& c : cases) {
        bridge::TypedEchoes echoes;
        for (const Given& g : c.given) {
            echoes.given(g.events, g.typed);
        }
        EXPECT_EQ(echoes.forLogger(c.fromKeyer), c.forLogger) << c.what;
    }
}

TEST(TypedEchoes, EchoesSplitOverReadsAreTheSameAsWhole) {
    bridge::TypedEchoes whole;
    bridge::TypedEchoes split;
    for (auto* e : {&whole, &split}) {
        e->given(logger("CQ").events, false);
        e->given(typed("E").events, true);
        e->given(logger("K").events, false);
    }
    const std::string keyer =
        "\xC4"
        "CQEK"
        "\xC0";
    std::string got;
    for (char c : keyer) {
        got += split.forLogger(std::string(1, c));
    }
    EXPECT_EQ(got, whole.forLogger(keyer));
    EXPECT_EQ(got,
              "\xC4"
              "CQK"
              "\xC0");
}

TEST(TypedEchoes, KeepsNoMoreThanTheKeyerCouldHold) {
    bridge::TypedEchoes echoes;
    echoes.given(typed("E").events, true);
    for (std::size_t i = 0; i < bridge::TypedEchoes::kMostWaiting; ++i) {
        echoes.given(logger("T").events, false);
    }
    EXPECT_EQ(echoes.waitingCount(), bridge::TypedEchoes::kMostWaiting);
    EXPECT_EQ(echoes.forLogger("E"), "E");  // the typed E was forgotten: its echo passes
    echoes.restart();
    EXPECT_EQ(echoes.waitingCount(), 0u);
}

}  // namespace
