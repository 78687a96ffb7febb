#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "keyer/stream_event.h"

namespace keyer {

// Reads the bytes that reach the keyer the way the keyer reads them: command by command, each
// with its parameter bytes, so a parameter is never taken for text or for another command. A
// command may arrive split over any number of reads; the reader carries the part it has seen.
//
// It is a small value: copy it to look ahead ("where does the command under way end?") without
// disturbing the original.
class StreamReader {
  public:
    // Reads the next bytes of the stream; returns what the keyer does with them, in order.
    std::vector<StreamEvent> read(std::string_view bytes);

    // No command is partly read: bytes of our own may go in here without splitting one.
    bool atBoundary() const { return got_ == 0 && !halted_; }

  private:
    void take(std::uint8_t byte, std::vector<StreamEvent>& events);
    void finish(std::vector<StreamEvent>& events) const;

    // The longest command whose bytes matter is load defaults: its byte and 15 parameters.
    static constexpr std::size_t kKept = 16;
    std::array<std::uint8_t, kKept> head_{};
    std::size_t got_ = 0;     // bytes of the command under way
    std::size_t length_ = 0;  // its whole length; 0 while its sub-command is still to come
    bool halted_ = false;     // a firmware upload began: nothing after it is a command
};

}  // namespace keyer
