#pragma once

#include <optional>
#include <string_view>
#include <vector>

// Reading the tone sample from a wave file's bytes.
namespace tone {

struct ToneSample {
    std::vector<float> samples;  // one channel, full scale = 1
    double sampleRate = 0;
};

// A RIFF/WAVE file of 16-bit PCM (the first channel when there are several); nullopt when the
// bytes are not such a file or hold fewer than two samples.
std::optional<ToneSample> parseWave(std::string_view bytes);

}  // namespace tone
