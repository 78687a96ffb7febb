// Any chunk a logger can send: reading it must not crash, must queue only digits and must
// report only speeds the slider can show.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "keyer/interpreter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view chunk(reinterpret_cast<const char*>(data), size);
    const keyer::ChunkReading reading = keyer::readChunk(chunk);
    for (char c : reading.codes) {
        if (c < '0' || c > '9') {
            std::abort();
        }
    }
    // Every queued code is two digits, so the queue's framing never shifts.
    if (reading.codes.size() % 2 != 0) {
        std::abort();
    }
    for (int speed : reading.speeds) {
        if (speed < 5 || speed > 50) {
            std::abort();
        }
    }
    if (reading.cancel && (!reading.codes.empty() || !reading.speeds.empty())) {
        std::abort();
    }
    const std::string shown = keyer::transmitPaneText(chunk);
    if (shown.size() > chunk.size()) {
        std::abort();
    }
    return 0;
}
