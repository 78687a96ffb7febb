#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "keyer/stream_reader.h"

namespace bridge {

// Whose bytes a piece for the keyer carries.
enum class Origin : std::uint8_t {
    Logger,   // the logger's, relayed unchanged
    Typed,    // a key the operator typed in the typing pane
    Command,  // a command of the operator's own (the speed)
};

// Bytes accepted for the keyer, in the order the keyer gets them.
struct Piece {
    std::string bytes;
    Origin origin = Origin::Logger;

    bool operator==(const Piece&) const = default;
};

// Where the operator's own bytes go in the keyer's stream: never inside a command of the
// logger's. They go at once while the stream is between commands; otherwise they wait and go
// in right where the logger's command under way ends, so a chunk of the logger's is cut there
// in two. Typed characters all go, in order; a newer command of the operator's replaces one
// still waiting (the keyer needs only the last speed).
//
// It follows the stream as it will be once every piece it has given out is written, with the
// keyer's own reader (its command boundaries).
class OwnBytesQueue {
  public:
    // The operator's bytes: what may go to the keyer now, in order (nothing while they wait).
    std::vector<Piece> own(std::string bytes, Origin origin);
    // A chunk of the logger's: the pieces it becomes, in order, with what waits put in where
    // the command under way ends (or kept waiting when the chunk does not end it).
    std::vector<Piece> chunk(std::string_view bytes);
    // A new connection: the keyer reads from a fresh start, beginning with `pending` (pieces
    // given out earlier and not yet written). What waited of the operator's is dropped: it was
    // meant for the keyer that went away.
    void restart(std::string_view pending);

    bool waiting() const { return !waiting_.empty(); }

  private:
    void accept(Piece piece, std::vector<Piece>& out);

    keyer::StreamReader accepted_;
    std::vector<Piece> waiting_;
};

}  // namespace bridge
