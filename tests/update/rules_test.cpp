#include <gtest/gtest.h>

#include <string>

#include "update/install_rules.h"
#include "update/transfer_rules.h"
#include "update/version_rules.h"
#include "update/window_texts.h"

// Edge cases of the pure rules beyond those the window tests run over HTTP.
namespace {

TEST(VersionRules, FirstLineCutsAtCrThenLfWhileLongEnough) {
    const struct {
        std::string box, line;
        bool usable;
    } cases[] = {{"1.65\nab\rcd", "1.65", true},   // CR first, then the LF
                 {"1.7\r\nlonger", "1.7", false},  // stops where it got too short
                 {"\r\n1.65", "", false},
                 {"", "", false},
                 {" 1.64 \r\n", " 1.64 ", true}};
    for (const auto& c : cases) {
        const auto [text, usable] = update::firstLineOf(c.box);
        EXPECT_EQ(text, c.line) << c.box;
        EXPECT_EQ(usable, c.usable) << c.box;
    }
}

TEST(VersionRules, OffersAnyPositiveVersionThatDiffers) {
    const struct {
        const char* published;
        bool offered;
    } cases[] = {{" 1.64 ", false},
                 {" 1.65", true},
                 {"1.640", true},
                 {"1.64a", true},
                 {"0.00", false},
                 {"-1.65", false},
                 {"Error during communication with host", false}};
    for (const auto& c : cases) {
        EXPECT_EQ(update::offersUpdate("1.64", c.published), c.offered) << c.published;
    }
}

TEST(TransferRules, OnlyAMetContentLengthProvesABodyWhole) {
    // Qt 6.4 can finish a reply cut by the connection's close without an error: the count
    // of what arrived is the guard.
    using update::BodyArrival;
    const struct {
        bool chunked;
        std::optional<long long> length;
        long long received;
        BodyArrival arrival;
    } cases[] = {{false, 1000, 1000, BodyArrival::Whole},
                 {false, 1000, 500, BodyArrival::Cut},
                 {false, 0, 0, BodyArrival::Whole},
                 {false, std::nullopt, 500, BodyArrival::LengthUnknown},
                 {true, std::nullopt, 500, BodyArrival::LengthUnknown},
                 {true, 500, 500, BodyArrival::LengthUnknown}};
    for (const auto& c : cases) {
        EXPECT_EQ(update::judgeBody(c.chunked, c.length, c.received), c.arrival) << c.received;
    }
}

TEST(TransferRules, SizesPastFourGibibytesKeepEveryDigit) {
    // Windows' long has 32 bits: a size that went through one would lose its top digits.
    const long long big = 5'000'000'123LL;
    EXPECT_EQ(update::downloadProgressText(big, big + 1),
              "Downloading: 5000000123 of 5000000124 bytes");
    EXPECT_EQ(update::cutBodyText(big, std::nullopt),
              "The transfer ended after 5000000123 bytes: the file is incomplete and was not "
              "kept.");
    EXPECT_EQ(update::judgeBody(false, big, big), update::BodyArrival::Whole);
    EXPECT_EQ(update::judgeBody(false, big + 4'294'967'296LL, big), update::BodyArrival::Cut);
}

TEST(InstallRules, InstallDirectoryIsAnUpperCasedExactMatch) {
    const struct {
        const char* directory;
        bool accepted;
    } cases[] = {{"C:\\PROGRAM FILES (X86)\\VANTREL", true},
                 {"c:\\Program Files (x86)\\vanTrel", true},
                 {"C:\\Program Files (x86)\\Vantrel\\", false},
                 {"C:\\Program Files\\Vantrel", false},
                 {"C:/Program Files (x86)/Vantrel", false},
                 {"C:\\src\\vantrel", true},
                 {"C:\\SRC\\VANTREL\\", false},
                 {"/home/op/vantrel", false},
                 {"", false}};
    for (const auto& c : cases) {
        EXPECT_EQ(update::isInstallDirectory(c.directory), c.accepted) << c.directory;
    }
}

TEST(AboutLabel, VersionLineEndsInCrLfTheOthersInLf) {
    EXPECT_EQ(update::aboutLabelText("1.64"),
              "Your Vantrel version is 1.64\r\nCopyright (C) 2023 The Vantrel developers\n"
              "http://www.example.org/download.html\n\n"
              "To update you can simply click on the update button below. ");
}

}  // namespace
