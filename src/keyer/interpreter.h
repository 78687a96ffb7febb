#pragma once

#include <string>
#include <string_view>
#include <vector>

// Reading the application's keyer traffic for the local monitor. The program forwards every
// chunk unchanged; this only looks at it, for three things: a cancel, the speed, and the text
// that the keyer is about to send. It scans for byte patterns and does not follow command
// boundaries, the way the monitor has always read the traffic.
namespace keyer {

struct ChunkReading {
    // The monitor queue is to be emptied (a clear-buffer command); nothing else was read.
    bool cancel = false;
    // Each speed command 0x02 nn with 5 <= nn <= 50, in the order found; the last one wins.
    std::vector<int> speeds;
    // Decimal codes of the text bytes, written one after another ("CQ" -> "6781").
    std::string codes;
};

// Reads one forwarded chunk (application bytes or one typed character).
ChunkReading readChunk(std::string_view chunk);

// What the transmit pane shows for an application chunk: longer chunks lose their leading
// control bytes (speed and mode commands), a single byte is shown as it is.
std::string transmitPaneText(std::string_view chunk);

}  // namespace keyer
