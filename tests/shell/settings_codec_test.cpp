#include <gtest/gtest.h>

#include <random>
#include <string>

#include "shell/settings_codec.h"

namespace {

// The file as every earlier run has written it with the design values.
const std::string kDesignFile = "1\r\n2\r\n-2000 \r\n 28 \r\n2\r\n 0 \r\n 6000 \r\n";

TEST(SettingsCodec, WritesTheDesignValuesByteForByte) {
    EXPECT_EQ(settings::encode(settings::Values{}), kDesignFile);
}

TEST(SettingsCodec, RoundTrips) {
    settings::Values v;
    v.applicationPort = " 16";
    v.keyerPort = "COM17";
    v.volume = 0;
    v.speed = 50;
    v.latency = "250 ms";
    v.soundDeviceIndex = -1;
    v.pitch = 8000;
    const settings::Loaded l = settings::decode(settings::encode(v));
    EXPECT_EQ(l.applicationPort, " 16");
    EXPECT_EQ(l.keyerPort, "COM17");
    EXPECT_EQ(l.volume, 0);
    EXPECT_EQ(l.speed, 50);
    EXPECT_EQ(l.latency, "250 ms");
    EXPECT_EQ(l.soundDeviceIndex, -1);
    EXPECT_EQ(l.pitch, 8000);
}

TEST(SettingsCodec, ShortFileAppliesWhatItHas) {
    const settings::Loaded l = settings::decode("5\r\n6\r\n");
    EXPECT_EQ(l.applicationPort, "5");
    EXPECT_EQ(l.keyerPort, "6");
    EXPECT_FALSE(l.volume);
    EXPECT_FALSE(l.pitch);
}

TEST(SettingsCodec, BadLineAbandonsTheRest) {
    // Speed 60 lies outside the slider: lines 1 to 3 stay, the rest keep their design values.
    const settings::Loaded l =
        settings::decode("3\r\n4\r\n-100 \r\n 60 \r\n9\r\n 1 \r\n 5000 \r\n");
    EXPECT_EQ(l.applicationPort, "3");
    EXPECT_EQ(l.volume, -100);
    EXPECT_FALSE(l.speed);
    EXPECT_FALSE(l.latency);
    EXPECT_FALSE(l.soundDeviceIndex);
    EXPECT_FALSE(l.pitch);

    // A number that does not fit 16 bits stops the reading too.
    EXPECT_FALSE(
        settings::decode("1\r\n2\r\n-2000\r\n28\r\n2\r\n99999\r\n6000\r\n").soundDeviceIndex);
    EXPECT_FALSE(settings::decode("1\r\n2\r\n" + std::string(40, '9') + "\r\n").volume);
    // Halves round to even before the range test: 4.5 is 4, below the slider.
    EXPECT_FALSE(settings::decode("1\r\n2\r\n0\r\n4.5\r\n").speed);
    EXPECT_EQ(settings::decode("1\r\n2\r\n0\r\n5.5\r\n").speed, 6);
}

TEST(SettingsCodec, TextLinesKeepTheirBlanksAndNumbersSkipThem) {
    const settings::Loaded l = settings::decode(" 16\r\n17 \r\n   -1500 junk\r\n");
    EXPECT_EQ(l.applicationPort, " 16");
    EXPECT_EQ(l.keyerPort, "17 ");
    EXPECT_EQ(l.volume, -1500);
}

TEST(SettingsCodec, EveryLineEndConventionReads) {
    // A blank line 2 tells a line end from two: it must stay blank, and line 3 must follow it.
    for (const std::string end : {"\r\n", "\n", "\r", "\n\r"}) {
        const std::string file = "7" + end + end + "-10" + end + "9" + end + "abc" + end;
        const settings::Loaded l = settings::decode(file);
        EXPECT_EQ(l.applicationPort, "7");
        EXPECT_EQ(l.keyerPort, "");
        EXPECT_EQ(l.volume, -10);
        EXPECT_EQ(l.speed, 9);
        EXPECT_EQ(l.latency, "abc");
    }
}

TEST(SettingsCodec, GarbageNeverCrashes) {
    std::mt19937 random(1);
    for (int round = 0; round < 200; ++round) {
        std::string file(random() % 600, '\0');
        for (char& c : file) {
            c = static_cast<char>(random());
        }
        const settings::Loaded l = settings::decode(file);
        if (l.volume) {
            EXPECT_TRUE(*l.volume >= -3000 && *l.volume <= 0);
        }
        if (l.speed) {
            EXPECT_TRUE(*l.speed >= 5 && *l.speed <= 50);
        }
    }
    const std::string hugeLine(1 << 20, '7');
    EXPECT_EQ(settings::decode(hugeLine + "\r\n2\r\n").applicationPort->size(), hugeLine.size());
}

}  // namespace
