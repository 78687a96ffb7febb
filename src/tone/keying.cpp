#include "tone/keying.h"

#include <algorithm>

namespace tone {
namespace {

constexpr int kSlowest = 5;
constexpr int kFastest = 99;
constexpr double kSecondsPerUnitAtOneWpm = 1.2;  // PARIS: 50 units a word
constexpr int kNormal = 50;                      // weighting and ratio

}  // namespace

double Timing::elementSpace() const {
    return std::max(0.0, element - markExtra);
}

double Timing::letterGap() const {
    return std::max(0.0, 3 * spacing - markExtra);
}

int keyerSpeed(int wpm) {
    return std::clamp(wpm, kSlowest, kFastest);
}

Timing timingAt(int wpm, const KeyerSettings& settings) {
    const double w = keyerSpeed(wpm);
    Timing t;
    t.element = kSecondsPerUnitAtOneWpm / w;
    t.spacing = t.element;
    const double f = std::min(settings.farnsworth, kFastest);
    if (f > w) {
        // Characters at f; the gaps take what is left of a PARIS word at w (19 spacing units).
        t.element = kSecondsPerUnitAtOneWpm / f;
        t.spacing = (60 * f - 37.2 * w) / (19 * w * f);
    }
    const double ratio = std::clamp(settings.ratio, 33, 66);
    const double weighting = std::clamp(settings.weighting, 10, 90);
    t.dah = 3 * t.element * ratio / kNormal;
    t.markExtra = t.element * (weighting - kNormal) / kNormal + settings.compensationMs / 1000.0;
    return t;
}

Sign keySign(std::initializer_list<std::string_view> patterns, const Timing& timing,
             double extension) {
    Sign sign;
    double at = 0;
    for (std::string_view pattern : patterns) {
        for (char element : pattern) {
            if (!sign.marks.empty()) {
                at += timing.elementSpace();
            }
            const double base = element == '-' ? timing.dah : timing.element;
            const double length = std::max(0.0, base + timing.markExtra) + extension;
            extension = 0;
            sign.marks.push_back({at, length});
            at += length;
        }
    }
    sign.duration = sign.marks.empty() ? 0 : at + timing.letterGap();
    return sign;
}

}  // namespace tone
