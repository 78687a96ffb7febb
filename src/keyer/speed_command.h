#pragma once

#include <string>

namespace keyer {

// The speeds the operator sets, in words per minute: the speed bar's range, the range the
// speed field is limited to when a number is entered, and the range in which a speed from the
// logger's stream moves the bar.
struct SpeedRange {
    static constexpr int kSlowest = 5;
    static constexpr int kFastest = 50;
    static constexpr bool contains(int wpm) { return wpm >= kSlowest && wpm <= kFastest; }
};

// A typed speed (the field's leading number) as the whole number the keyer is sent: rounded,
// halves to even, and held within the range (anything below it, 0 and "no number" included,
// is the slowest speed; anything above it the fastest).
int enteredSpeed(double typed);

// The keyer's speed command for `wpm`: the bytes 0x02 nn.
std::string speedCommand(int wpm);

}  // namespace keyer
