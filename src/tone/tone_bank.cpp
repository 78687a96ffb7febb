#include "tone/tone_bank.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "tone/fft.h"

namespace tone {

ToneBank::ToneBank(int frameRate)
    : rate_(std::max(frameRate, 1000)),
      blockFrames_(std::max<std::int64_t>(8, std::llround(kBlockSeconds * rate_))) {
    while (fftSize_ < static_cast<std::size_t>(blockFrames_)) {
        fftSize_ <<= 1;
    }
    const double binWidth = static_cast<double>(rate_) / static_cast<double>(fftSize_);
    firstBin_ = static_cast<std::size_t>(std::floor(kLowestHz / binWidth));
    const auto lastBin =
        std::min(static_cast<std::size_t>(std::ceil(kHighestHz / binWidth)), fftSize_ / 2 - 1);
    bins_ = lastBin >= firstBin_ ? lastBin - firstBin_ + 1 : 0;
    history_ = static_cast<std::size_t>(std::llround(kHistorySeconds / kBlockSeconds));
    window_.resize(static_cast<std::size_t>(blockFrames_));
    for (std::size_t n = 0; n < window_.size(); ++n) {
        window_[n] = static_cast<float>(
            0.5 - 0.5 * std::cos(2 * std::numbers::pi * (static_cast<double>(n) + 0.5) /
                                 static_cast<double>(window_.size())));
    }
    pending_.reserve(window_.size());
    work_.resize(fftSize_);
    amplitudes_.assign(history_ * bins_, 0);
}

void ToneBank::feed(std::span<const float> samples) {
    for (float s : samples) {
        pending_.push_back(s);
        if (pending_.size() < window_.size()) {
            continue;
        }
        std::fill(work_.begin(), work_.end(), std::complex<float>{});
        for (std::size_t n = 0; n < pending_.size(); ++n) {
            work_[n] = pending_[n] * window_[n];
        }
        fft(work_);
        float* row =
            &amplitudes_[static_cast<std::size_t>(done_ % static_cast<std::int64_t>(history_)) *
                         bins_];
        for (std::size_t k = 0; k < bins_; ++k) {
            row[k] = std::abs(work_[firstBin_ + k]);
        }
        pending_.clear();
        ++done_;
    }
}

std::int64_t ToneBank::oldestBlock() const {
    return std::max<std::int64_t>(0, done_ - static_cast<std::int64_t>(history_));
}

double ToneBank::binHz(double bin) const {
    return (static_cast<double>(firstBin_) + bin) * rate_ / static_cast<double>(fftSize_);
}

float ToneBank::amplitude(std::int64_t block, std::size_t bin) const {
    return amplitudes_[static_cast<std::size_t>(block % static_cast<std::int64_t>(history_)) *
                           bins_ +
                       bin];
}

}  // namespace tone
