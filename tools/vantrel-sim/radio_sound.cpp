#include "radio_sound.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace sim {
namespace {

constexpr std::string_view kCharacters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

}  // namespace

RandomCw::RandomCw(std::uint32_t seed, int frameRate)
    : random_(seed), rate_(frameRate), cursor_(0.3 * frameRate) {}

// Lays out the next word's edges from the cursor on; between overs, a pause of 1 to 4 s.
void RandomCw::nextWord() {
    if (wordsLeft_ == 0) {
        wordsLeft_ = std::uniform_int_distribution<int>(2, 6)(random_);
        cursor_ += std::uniform_real_distribution<double>(1.0, 4.0)(random_) * rate_;
    }
    --wordsLeft_;
    const KeyerTiming timing;
    const double framesPerNs = rate_ / 1e9;
    word_.clear();
    next_ = 0;
    const int letters = std::uniform_int_distribution<int>(2, 6)(random_);
    std::uniform_int_distribution<std::size_t> pick(0, kCharacters.size() - 1);
    for (int i = 0; i < letters; ++i) {
        const ItemKeying keying =
            keyPattern(*morsePattern(kCharacters[pick(random_)]), kWpm, timing, false);
        for (const auto& [down, up] : keying.marks) {
            word_.emplace_back(cursor_ + static_cast<double>(down.count()) * framesPerNs, true);
            word_.emplace_back(cursor_ + static_cast<double>(up.count()) * framesPerNs, false);
        }
        cursor_ += static_cast<double>(keying.length.count()) * framesPerNs;
    }
    cursor_ += static_cast<double>(spacingUnit(kWpm, timing).count()) * 4 * framesPerNs;
}

void RandomCw::keyUpTo(double frame, KeyedTone& tone) {
    for (;;) {
        if (next_ == word_.size()) {
            nextWord();
        }
        if (word_[next_].first > frame) {
            return;
        }
        tone.key(word_[next_].first, word_[next_].second);
        ++next_;
    }
}

RadioSound::RadioSound(const RadioSoundSettings& settings)
    : settings_(settings),
      ours_(settings.pitchHz, kLevel, settings.frameRate),
      noise_(settings.seed) {
    if (settings.secondHz) {
        second_.emplace(*settings.secondHz, kLevel, settings.frameRate);
        secondText_.emplace(settings.seed + 1, settings.frameRate);
    }
    if (settings.noiseDb) {
        // Our tone's power is kLevel^2 / 2; the noise's, that many dB below it.
        noiseRms_ = kLevel / std::sqrt(2.0) * std::pow(10.0, -*settings.noiseDb / 20);
    }
}

void RadioSound::render(std::int64_t first, std::span<std::int16_t> out) {
    mix_.assign(out.size(), 0.0f);
    ours_.render(first, mix_);
    if (second_) {
        // A ramp reaches half its length back: edges are handed over that far ahead.
        const double ahead = KeyedTone::kRampSeconds * settings_.frameRate;
        secondText_->keyUpTo(static_cast<double>(first) + static_cast<double>(out.size()) + ahead,
                             *second_);
        second_->render(first, mix_);
    }
    for (std::size_t i = 0; i < out.size(); ++i) {
        double v = mix_[i];
        if (noiseRms_ > 0) {
            v += noiseRms_ * gauss_(noise_);
        }
        out[i] =
            static_cast<std::int16_t>(std::lround(std::clamp(v, -1.0, 32767.0 / 32768) * 32768));
    }
}

}  // namespace sim
