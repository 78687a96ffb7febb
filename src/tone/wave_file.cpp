#include "tone/wave_file.h"

#include <algorithm>
#include <cstdint>

namespace tone {
namespace {

constexpr std::uint16_t kPcm = 1;
constexpr std::uint16_t kExtensible = 0xFFFE;

std::uint32_t le(std::string_view b, std::size_t at, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        v = (v << 8) | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
    }
    return v;
}

}  // namespace

std::optional<ToneSample> parseWave(std::string_view b) {
    if (b.size() < 12 || b.substr(0, 4) != "RIFF" || b.substr(8, 4) != "WAVE") {
        return std::nullopt;
    }
    std::uint32_t channels = 0;
    std::uint32_t rate = 0;
    bool format = false;
    std::size_t at = 12;
    while (b.size() - at >= 8) {
        const std::string_view id = b.substr(at, 4);
        const std::size_t size = le(b, at + 4, 4);
        at += 8;
        if (size > b.size() - at) {
            if (id != "data") {
                return std::nullopt;
            }
        }
        const std::size_t have = std::min(size, b.size() - at);
        if (id == "fmt ") {
            if (have < 16) {
                return std::nullopt;
            }
            const std::uint32_t tag = le(b, at, 2);
            channels = le(b, at + 2, 2);
            rate = le(b, at + 4, 4);
            const std::uint32_t bits = le(b, at + 14, 2);
            format = (tag == kPcm || tag == kExtensible) && bits == 16 && channels > 0 && rate > 0;
            if (!format) {
                return std::nullopt;
            }
        } else if (id == "data") {
            if (!format) {
                return std::nullopt;
            }
            const std::size_t frameBytes = 2 * static_cast<std::size_t>(channels);
            const std::size_t frames = have / frameBytes;
            if (frames < 2) {
                return std::nullopt;
            }
            ToneSample tone;
            tone.sampleRate = rate;
            tone.samples.reserve(frames);
            for (std::size_t f = 0; f < frames; ++f) {
                const auto raw = static_cast<std::int16_t>(le(b, at + f * frameBytes, 2));
                tone.samples.push_back(static_cast<float>(raw) / 32768.0F);
            }
            return tone;
        }
        at += have + (have % 2);  // chunks are padded to an even length
        if (at > b.size()) {
            break;
        }
    }
    return std::nullopt;
}

}  // namespace tone
