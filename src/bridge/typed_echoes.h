#pragma once

#include <cstddef>
#include <deque>
#include <span>
#include <string>
#include <string_view>

#include "keyer/stream_event.h"

namespace bridge {

// Which of the keyer's bytes are echoes of characters the operator typed, which the logger
// never sent and must not see; everything else the keyer says goes to the logger, at once and
// in order.
//
// The keyer echoes a character after it has keyed it, and keys its buffer in order, typed and
// logger's characters alike. So the characters given to the keyer wait here in that order;
// an echo is matched with the first waiting character it equals (those before it were not
// echoed: the keyer ignored them) and held back only when that one was typed. Only text waits,
// so status bytes (0xC0-0xDF) and speed pot bytes (0x80-0xBF) are never echoes; a byte that
// matches nothing waiting is an answer of the keyer's and passes as well.
class TypedEchoes {
  public:
    // The keyer was given text and commands (as its stream reader reads them): `typed` when
    // they were the operator's keys.
    void given(std::span<const keyer::StreamEvent> events, bool typed);
    // Of what the keyer sent, the bytes for the logger, in order.
    std::string forLogger(std::string_view fromKeyer);
    // A new connection: nothing is being keyed.
    void restart() { waiting_.clear(); }

    std::size_t waitingCount() const { return waiting_.size(); }

    // More than the keyer's buffer holds: the oldest are forgotten first.
    static constexpr std::size_t kMostWaiting = 256;

  private:
    struct Given {
        char byte;
        bool typed;
    };
    void add(char byte, bool typed);

    std::deque<Given> waiting_;  // given to the keyer, not yet echoed
};

}  // namespace bridge
