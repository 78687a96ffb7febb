#include <gtest/gtest.h>

#include <string>

#include "update/install_rules.h"
#include "update/version_rules.h"
#include "update/window_texts.h"

// Edge cases of the pure rules beyond those the window tests run over HTTP.
namespace {

struct TrimCase {
    std::string box;
    std::string line;
    bool usable;
};

class FirstLineTest : public testing::TestWithParam<TrimCase> {};

TEST_P(FirstLineTest, CutsAtCrThenLfWhileLongEnough) {
    const auto [text, usable] = update::firstLineOf(GetParam().box);
    EXPECT_EQ(text, GetParam().line);
    EXPECT_EQ(usable, GetParam().usable);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FirstLineTest,
    testing::Values(TrimCase{"1.65\nab\rcd", "1.65", true},   // CR first, then the LF
                    TrimCase{"1.7\r\nlonger", "1.7", false},  // stops where it got too short
                    TrimCase{"\r\n1.65", "", false}, TrimCase{"", "", false},
                    TrimCase{" 1.64 \r\n", " 1.64 ", true}));

struct OfferCase {
    const char* published;
    bool offered;
};

class OfferTest : public testing::TestWithParam<OfferCase> {};

TEST_P(OfferTest, OffersAnyPositiveVersionThatDiffers) {
    EXPECT_EQ(update::offersUpdate("1.64", GetParam().published), GetParam().offered)
        << GetParam().published;
}

INSTANTIATE_TEST_SUITE_P(Table, OfferTest,
                         testing::Values(OfferCase{" 1.64 ", false}, OfferCase{" 1.65", true},
                                         OfferCase{"1.640", true}, OfferCase{"1.64a", true},
                                         OfferCase{"0.00", false}, OfferCase{"-1.65", false},
                                         OfferCase{"Error during communication with host", false}));

struct DirectoryCase {
    const char* directory;
    bool accepted;
};

class InstallDirectoryTest : public testing::TestWithParam<DirectoryCase> {};

TEST_P(InstallDirectoryTest, UpperCasedExactMatch) {
    EXPECT_EQ(update::isInstallDirectory(GetParam().directory), GetParam().accepted)
        << GetParam().directory;
}

INSTANTIATE_TEST_SUITE_P(Table, InstallDirectoryTest,
                         testing::Values(DirectoryCase{"C:\\PROGRAM FILES (X86)\\VANTREL", true},
                                         DirectoryCase{"c:\\Program Files (x86)\\vanTrel", true},
                                         DirectoryCase{"C:\\Program Files (x86)\\Vantrel\\", false},
                                         DirectoryCase{"C:\\Program Files\\Vantrel", false},
                                         DirectoryCase{"C:/Program Files (x86)/Vantrel", false},
                                         DirectoryCase{"C:\\src\\vantrel", true},
                                         DirectoryCase{"C:\\SRC\\VANTREL\\", false},
                                         DirectoryCase{"/home/op/vantrel", false},
                                         DirectoryCase{"", false}));

TEST(AboutLabel, VersionLineEndsInCrLfTheOthersInLf) {
    EXPECT_EQ(update::aboutLabelText("1.64"),
              "Your Vantrel version is 1.64\r\nCopyright (C) 2023 The Vantrel developers\n"
              "http://www.example.org/download.html\n\n"
              "To update you can simply click on the update button below. ");
}

}  // namespace
