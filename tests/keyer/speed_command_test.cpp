#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "keyer/speed_command.h"

namespace {

TEST(SpeedCommand, IsTheSpeedByteAndTheSpeed) {
    // Restated from the keyer's protocol: 0x02 nn, nn in words per minute.
    EXPECT_EQ(keyer::speedCommand(28), std::string("\x02\x1C"));
    EXPECT_EQ(keyer::speedCommand(5), std::string("\x02\x05"));
    EXPECT_EQ(keyer::speedCommand(50), std::string("\x02\x32"));
}

TEST(EnteredSpeed, IsRoundedAndHeldBetween5And50) {
    struct Case {
        double typed;
        int sent;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double huge = 1e300;
    for (const Case& c : {Case{30, 30}, Case{5, 5}, Case{50, 50}, Case{4.9, 5}, Case{0, 5},
                          Case{-7, 5}, Case{51, 50}, Case{300, 50}, Case{huge, 50}, Case{nan, 5},
                          Case{27.5, 28}, Case{28.5, 28}, Case{27.4, 27}, Case{49.6, 50}}) {
        EXPECT_EQ(keyer::enteredSpeed(c.typed), c.sent) << c.typed;
    }
}

}  // namespace
