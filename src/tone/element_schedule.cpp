#include "tone/element_schedule.h"

#include <cmath>

namespace tone {
namespace {

constexpr double kSecondsPerK = 0.00046;
constexpr double kWpmPerDivisor = 2.5;
constexpr double kLongestUnit = 60.0;

}  // namespace

std::optional<double> unitSeconds(double wpm) {
    if (!std::isfinite(wpm) || wpm <= 0) {
        return std::nullopt;
    }
    const double unit = 1000 * kSecondsPerK / (wpm / kWpmPerDivisor);
    if (!(unit <= kLongestUnit)) {
        return std::nullopt;
    }
    return unit;
}

std::optional<CharacterSchedule> scheduleCharacter(std::string_view pattern, double wpm) {
    const std::optional<double> unit = unitSeconds(wpm);
    if (!unit) {
        return std::nullopt;
    }
    const double one = *unit;
    const double two = 2 * one;
    const double three = 3 * one;

    CharacterSchedule s;
    double t = 0;
    const auto keyed = [&](double length) {
        if (s.markCount < kMaxMarks) {
            s.marks[s.markCount++] = {t, length};
        }
        t += length + one;
    };
    for (char symbol : pattern) {
        if (symbol == '-') {
            keyed(three);
        } else if (symbol == '.') {
            keyed(one);
        } else if (symbol == ' ') {
            t += two;  // the key goes down and straight up again: silence
        }
    }
    s.duration = t + two;
    return s;
}

}  // namespace tone
