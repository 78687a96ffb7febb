#include "delay_schedule.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

namespace delays {
namespace {

// A plain decimal number ("12", "0.5"): no sign, no exponent, nothing after it.
std::optional<double> parseNumber(std::string_view text) {
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string_view::npos) {
        return std::nullopt;
    }
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

Duration fromMs(double ms) {
    return Duration(std::llround(ms * 1e6));
}

}  // namespace

std::optional<Duration> parseDelayMs(std::string_view text) {
    const auto ms = parseNumber(text);
    if (!ms || *ms > kLongestDelayMs) {
        return std::nullopt;
    }
    return fromMs(*ms);
}

std::optional<Step> parseStep(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    const auto seconds = parseNumber(text.substr(0, colon));
    const auto delay = parseDelayMs(text.substr(colon + 1));
    if (!seconds || !delay || *seconds > kLongestDelayMs) {
        return std::nullopt;
    }
    return Step{fromMs(*seconds * 1000), *delay};
}

DelaySchedule::DelaySchedule(Duration initial, std::vector<Step> steps)
    : initial_(initial), steps_(std::move(steps)) {
    std::stable_sort(steps_.begin(), steps_.end(),
                     [](const Step& a, const Step& b) { return a.at < b.at; });
}

Duration DelaySchedule::at(Duration sinceStart) const {
    Duration delay = initial_;
    for (const Step& step : steps_) {
        if (step.at > sinceStart) {
            break;
        }
        delay = step.delay;
    }
    return delay;
}

}  // namespace delays
