// Any tone file: reading it must not crash or read past its end, and a tone it accepts has a
// playable rate and at least two samples within full scale.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tone/wave_file.h"

namespace {

std::string littleEndian(std::uint32_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) {
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    // The first byte picks what goes in front of the rest, so that the chunks and samples deep
    // in a file are reached within seconds: nothing, a RIFF/WAVE header, or a header and a
    // 16-bit PCM format chunk (channels from the second byte).
    const std::string rest(reinterpret_cast<const char*>(data) + 2, size - 2);
    const std::string header = std::string("RIFF", 4) + littleEndian(36, 4) + "WAVE";
    const std::uint32_t channels = data[1] % 4 + 1;
    const std::string format = std::string("fmt ") + littleEndian(16, 4) + littleEndian(1, 2) +
                               littleEndian(channels, 2) + littleEndian(8000, 4) +
                               littleEndian(16000 * channels, 4) + littleEndian(2 * channels, 2) +
                               littleEndian(16, 2);
    const std::string prefixes[] = {"", header, header + format};
    const auto tone = tone::parseWave(prefixes[data[0] % 3] + rest);
    if (!tone) {
        return 0;
    }
    if (tone->sampleRate <= 0 || tone->samples.size() < 2 || tone->samples.size() > size / 2) {
        std::abort();
    }
    for (float s : tone->samples) {
        if (!(s >= -1.0F && s < 1.0F)) {
            std::abort();
        }
    }
    return 0;
}
