// Writes the monitor's tone sample: a 600 Hz sine, 16-bit mono PCM at 24000 samples per
// second, one second long (600 whole cycles, so it loops without a seam), at half full scale.
//
//   make-tone OUTPUT.wav
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <string>

namespace {

constexpr std::uint32_t kRate = 24000;
constexpr double kFrequency = 600;
constexpr std::uint32_t kSamples = kRate;  // one second
constexpr double kAmplitude = 0.5 * 32767;

void put(std::string& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-tone OUTPUT.wav\n");
        return 2;
    }
    const std::uint32_t dataBytes = kSamples * 2;
    std::string wav = "RIFF";
    put(wav, 36 + dataBytes, 4);
    wav += "WAVEfmt ";
    put(wav, 16, 4);
    put(wav, 1, 2);  // PCM
    put(wav, 1, 2);  // mono
    put(wav, kRate, 4);
    put(wav, kRate * 2, 4);  // bytes per second
    put(wav, 2, 2);          // bytes per frame
    put(wav, 16, 2);         // bits per sample
    wav += "data";
    put(wav, dataBytes, 4);
    for (std::uint32_t n = 0; n < kSamples; ++n) {
        const double v = kAmplitude * std::sin(2 * std::numbers::pi * kFrequency * n / kRate);
        put(wav, static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(v))), 2);
    }
    std::ofstream file(argv[1], std::ios::binary);
    file.write(wav.data(), static_cast<std::streamsize>(wav.size()));
    return file.good() ? 0 : 1;
}
