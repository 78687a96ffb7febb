#include "bridge/typed_echoes.h"

#include <algorithm>
#include <cstdint>

namespace bridge {
namespace {

using Kind = keyer::StreamEvent::Kind;

// Only text is keyed and echoed; the keyer's status (110xxxxx) and speed pot (10xxxxxx) bytes
// lie outside it, so they can never be taken for an echo.
bool isText(std::uint8_t byte) {
    return byte >= 0x20 && byte <= 0x7F;
}

}  // namespace

void TypedEchoes::given(std::span<const keyer::StreamEvent> events, bool typed) {
    for (const keyer::StreamEvent& event : events) {
        switch (event.kind) {
            case Kind::Text:
                add(static_cast<char>(event.a), typed);
                break;
            case Kind::Merge:
                add(static_cast<char>(event.a), typed);
                add(static_cast<char>(event.b), typed);
                break;
            case Kind::Clear:  // the buffer goes: nothing in it is keyed or echoed
                waiting_.clear();
                break;
            case Kind::Backspace:  // the last character not yet keyed goes
                if (!waiting_.empty()) {
                    waiting_.pop_back();
                }
                break;
            default:
                break;
        }
    }
}

void TypedEchoes::add(char byte, bool typed) {
    if (!isText(static_cast<std::uint8_t>(byte))) {
        return;
    }
    if (waiting_.size() == kMostWaiting) {
        waiting_.pop_front();
    }
    waiting_.push_back({byte, typed});
}

std::string TypedEchoes::forLogger(std::string_view fromKeyer) {
    std::string out;
    out.reserve(fromKeyer.size());
    for (const char byte : fromKeyer) {
        const auto match = std::find_if(waiting_.begin(), waiting_.end(),
                                        [byte](const Given& g) { return g.byte == byte; });
        if (match == waiting_.end()) {
            out += byte;  // an answer, not an echo
            continue;
        }
        const bool typed = match->typed;
        waiting_.erase(waiting_.begin(), match + 1);
        if (!typed) {
            out += byte;
        }
    }
    return out;
}

}  // namespace bridge
