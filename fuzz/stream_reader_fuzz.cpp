// Any byte stream a logger can send, cut into pieces anywhere: the keyer stream reader must not
// crash, must read the same events however the stream is cut, and must take only 0x20..0x7F
// for text.
//
// Input: one byte n (the number of cuts, up to 15), n bytes that place the cuts, the stream.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "keyer/stream_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::size_t cuts = std::min<std::size_t>(data[0] % 16, size - 1);
    const std::uint8_t* places = data + 1;
    const std::string_view stream(reinterpret_cast<const char*>(data + 1 + cuts), size - 1 - cuts);

    keyer::StreamReader whole;
    const std::vector<keyer::StreamEvent> expected = whole.read(stream);

    keyer::StreamReader pieces;
    std::vector<keyer::StreamEvent> events;
    std::size_t at = 0;
    for (std::size_t i = 0; i <= cuts; ++i) {
        const std::size_t left = stream.size() - at;
        const std::size_t n = i == cuts ? left : places[i] % (left + 1);
        for (const auto& e : pieces.read(stream.substr(at, n))) {
            events.push_back(e);
        }
        at += n;
    }
    if (events != expected || pieces.atBoundary() != whole.atBoundary()) {
        std::abort();
    }
    for (const auto& e : expected) {
        if (e.kind == keyer::StreamEvent::Kind::Text && (e.a < 0x20 || e.a > 0x7F)) {
            std::abort();
        }
    }
    return 0;
}
