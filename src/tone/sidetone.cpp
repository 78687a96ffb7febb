#include "tone/sidetone.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tone {
namespace {

constexpr int kSilentLevel = -10000;
constexpr double kFullScale = 32767.0;

}  // namespace

double volumeGain(int hundredthsOfDb) {
    if (hundredthsOfDb <= kSilentLevel) {
        return 0;
    }
    return std::pow(10.0, std::min(hundredthsOfDb, 0) / 2000.0);
}

void Sidetone::restart(int frameRate) {
    frameRate_ = frameRate > 0 ? frameRate : 48000;
    halfEdge_ = kEdgeSeconds * frameRate_ / 2;
    next_ = 0;
    firstMark_ = 0;
    markCount_ = 0;
    inRun_ = false;
    keyingEnd_ = 0;
}

void Sidetone::offerTone(const ToneLoop* tone) {
    waiting_ = tone;
    toneWaiting_ = true;
}

const ToneLoop* Sidetone::takeRetired() {
    const ToneLoop* tone = retired_;
    retired_ = nullptr;
    return tone;
}

void Sidetone::place(const PlayedCharacter& character, std::int64_t requestedRunStart) {
    // The leading half of an edge must still lie ahead.
    const auto earliest = next_ + static_cast<std::int64_t>(std::ceil(halfEdge_));
    if (!inRun_ || character.run != run_) {
        inRun_ = true;
        run_ = character.run;
        runAnchor_ = std::max(requestedRunStart, earliest);
    }
    const double rate = frameRate_;
    const auto frameOf = [&](double seconds) {
        return runAnchor_ + std::llround((character.offset + seconds) * rate);
    };
    keyingEnd_ = std::max<std::int64_t>(keyingEnd_, frameOf(character.schedule.duration));
    const auto gain = static_cast<float>(volumeGain(character.volume));
    for (std::size_t i = 0; i < character.schedule.markCount; ++i) {
        const Mark& m = character.schedule.marks[i];
        if (markCount_ == kMarkCapacity) {
            return;
        }
        const std::int64_t start = std::max<std::int64_t>(frameOf(m.start), earliest);
        const std::int64_t end = frameOf(m.start + m.length);
        if (end <= start) {
            continue;
        }
        marks_[(firstMark_ + markCount_) % kMarkCapacity] = {start, end, gain};
        ++markCount_;
        keyingEnd_ = std::max(keyingEnd_, end + static_cast<std::int64_t>(std::ceil(halfEdge_)));
    }
}

void Sidetone::withdraw(std::uint64_t run, double offset) {
    if (!inRun_ || run != run_) {
        return;
    }
    const std::int64_t from = runAnchor_ + std::llround(offset * frameRate_);
    while (markCount_ > 0) {
        const PlacedMark& last = marks_[(firstMark_ + markCount_ - 1) % kMarkCapacity];
        if (last.start < from || last.start - halfEdge_ < next_) {
            break;
        }
        --markCount_;
    }
    std::int64_t end = from;
    if (markCount_ > 0) {
        const PlacedMark& last = marks_[(firstMark_ + markCount_ - 1) % kMarkCapacity];
        end = std::max(end, last.end + static_cast<std::int64_t>(std::ceil(halfEdge_)));
    }
    keyingEnd_ = std::min(keyingEnd_, end);
}

void Sidetone::render(std::span<std::int16_t> out) {
    std::size_t done = 0;
    while (done < out.size()) {
        const std::size_t frames = std::min(kBlock, out.size() - done);
        renderBlock(out.data() + done, frames);
        done += frames;
    }
}

float Sidetone::ramp(double x) const {
    if (x <= -halfEdge_) {
        return 0;
    }
    if (x >= halfEdge_) {
        return 1;
    }
    return static_cast<float>(0.5 -
                              0.5 * std::cos(std::numbers::pi * (x + halfEdge_) / (2 * halfEdge_)));
}

bool Sidetone::keyedWithin(std::int64_t from, std::int64_t to) const {
    for (std::size_t i = 0; i < markCount_; ++i) {
        const PlacedMark& m = marks_[(firstMark_ + i) % kMarkCapacity];
        if (m.start - halfEdge_ < to && m.end + halfEdge_ > from) {
            return true;
        }
    }
    return false;
}

void Sidetone::renderBlock(std::int16_t* out, std::size_t frames) {
    const std::int64_t from = next_;
    const std::int64_t to = next_ + static_cast<std::int64_t>(frames);
    if (toneWaiting_ && !keyedWithin(from, to)) {
        retired_ = tone_;
        tone_ = waiting_;
        waiting_ = nullptr;
        toneWaiting_ = false;
        phase_ = 0;  // a new tone starts from the beginning of its loop
    }

    std::array<float, kBlock> envelope{};
    for (std::size_t i = 0; i < markCount_; ++i) {
        const PlacedMark& m = marks_[(firstMark_ + i) % kMarkCapacity];
        const auto lo = std::max(from, static_cast<std::int64_t>(std::ceil(m.start - halfEdge_)));
        const auto hi = std::min(to, static_cast<std::int64_t>(std::ceil(m.end + halfEdge_)));
        for (std::int64_t n = lo; n < hi; ++n) {
            const float level = m.gain * ramp(static_cast<double>(n - m.start)) *
                                ramp(static_cast<double>(m.end - n));
            float& e = envelope[static_cast<std::size_t>(n - from)];
            e = std::max(e, level);
        }
    }
    while (markCount_ > 0 && marks_[firstMark_].end + halfEdge_ <= to) {
        firstMark_ = (firstMark_ + 1) % kMarkCapacity;
        --markCount_;
    }

    const std::vector<float>* samples = tone_ != nullptr ? &tone_->sample.samples : nullptr;
    const double step = tone_ != nullptr ? tone_->playbackRate / frameRate_ : 0;
    if (samples == nullptr || samples->size() < 2 || !(step > 0 && step < 1e6)) {
        std::fill(out, out + frames, std::int16_t{0});
        next_ = to;
        return;
    }
    const double length = static_cast<double>(samples->size());
    for (std::size_t k = 0; k < frames; ++k) {
        const auto i = static_cast<std::size_t>(phase_);
        const double frac = phase_ - static_cast<double>(i);
        const float a = (*samples)[i];
        const float b = (*samples)[i + 1 < samples->size() ? i + 1 : 0];
        const double value = (a + frac * (b - a)) * envelope[k];
        out[k] = static_cast<std::int16_t>(
            std::lround(std::clamp(value * kFullScale, -kFullScale, kFullScale)));
        phase_ += step;
        if (phase_ >= length) {
            phase_ = std::fmod(phase_, length);
        }
    }
    next_ = to;
}

}  // namespace tone
