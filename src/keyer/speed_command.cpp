#include "keyer/speed_command.h"

#include <algorithm>
#include <cmath>

namespace keyer {

namespace {
constexpr char kSpeedCommand = 0x02;
}  // namespace

int enteredSpeed(double typed) {
    if (!(typed >= SpeedRange::kSlowest)) {  // NaN too
        return SpeedRange::kSlowest;
    }
    if (typed >= SpeedRange::kFastest) {
        return SpeedRange::kFastest;
    }
    return static_cast<int>(std::nearbyint(typed));  // the default rounding: halves to even
}

std::string speedCommand(int wpm) {
    return {kSpeedCommand, static_cast<char>(wpm)};
}

}  // namespace keyer
