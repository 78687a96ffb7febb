#include "keyer/interpreter.h"

namespace keyer {
namespace {

constexpr unsigned char kSpeedCommand = 0x02;
constexpr unsigned char kClearBuffer = 0x0A;
// Clear buffer, pin configuration 0x06, PTT off: how loggers abort a message.
constexpr std::string_view kAbortSequence{"\x0A\x09\x06\x18\x00", 5};
constexpr int kMinSpeed = 5;
constexpr int kMaxSpeed = 50;
constexpr std::size_t kTextAfterPrefixLimit = 1024;

// Text bytes that the monitor queues. The keyer sends 0x20-0x7E as text, but its queue frames
// codes as two digits, so codes from 100 up ("d" to "~") are left out: a real keyer ignores
// lower case anyway, and a three-digit code would shift everything queued after it.
bool isQueuedText(unsigned char b) {
    return b >= 0x20 && b <= 0x63;
}

bool isControl(unsigned char b) {
    return b < 0x20;
}

}  // namespace

ChunkReading readChunk(std::string_view chunk) {
    ChunkReading reading;
    if ((chunk.size() == 1 && static_cast<unsigned char>(chunk[0]) == kClearBuffer) ||
        chunk.find(kAbortSequence) != std::string_view::npos) {
        reading.cancel = true;
        return reading;
    }

    // Every 0x02 is taken for a speed command, and the byte after it is looked at again in
    // its own turn.
    for (std::size_t i = 0; i + 1 < chunk.size(); ++i) {
        if (static_cast<unsigned char>(chunk[i]) == kSpeedCommand) {
            const int speed = static_cast<unsigned char>(chunk[i + 1]);
            if (speed >= kMinSpeed && speed <= kMaxSpeed) {
                reading.speeds.push_back(speed);
            }
        }
    }

    // A command head ending in a "7" right after a control byte is not text: only the first
    // "7" of the chunk is considered.
    std::string_view text = chunk;
    const auto seven = chunk.find('7');
    if (seven != std::string_view::npos && seven > 0 &&
        isControl(static_cast<unsigned char>(chunk[seven - 1]))) {
        text = chunk.substr(seven + 1, kTextAfterPrefixLimit);
    }

    for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (isQueuedText(b)) {
            reading.codes += std::to_string(b);
        }
    }
    return reading;
}

std::string transmitPaneText(std::string_view chunk) {
    std::string shown(chunk);
    if (shown.size() <= 1) {
        return shown;
    }
    for (std::size_t n = chunk.size(); n > 0 && !shown.empty(); --n) {
        if (!isControl(static_cast<unsigned char>(shown.front()))) {
            break;
        }
        shown = shown.substr(1, 255);
    }
    return shown;
}

}  // namespace keyer
