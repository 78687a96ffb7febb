#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "update/install_rules.h"
#include "update/version_rules.h"
#include "update/window_texts.h"

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
    testing::Values(TrimCase{"1.64", "1.64", true}, TrimCase{"1.65\r\nmore", "1.65", true},
                    TrimCase{"1.65\nmore\r\n", "1.65", true},
                    // CR first, even after an LF: the cut then goes on at the LF.
                    TrimCase{"1.65\nab\rcd", "1.65", true}, TrimCase{"1.7", "1.7", false},
                    TrimCase{"1.7\r\nlonger", "1.7", false}, TrimCase{"", "", false},
                    TrimCase{"\r\n1.65", "", false}, TrimCase{" 1.64 \r\n", " 1.64 ", true},
                    TrimCase{"<html>\r\n<body>", "<html>", true}));

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
                         testing::Values(OfferCase{"1.64", false}, OfferCase{" 1.64 ", false},
                                         OfferCase{"1.65", true}, OfferCase{"1.63", true},
                                         OfferCase{" 1.65", true}, OfferCase{"1.640", true},
                                         OfferCase{"1.64a", true}, OfferCase{"<html>", false},
                                         OfferCase{"0.00", false}, OfferCase{"-1.65", false},
                                         OfferCase{"Error during communication with host", false},
                                         OfferCase{"Server returned a blank response", false}));

TEST(OfferText, KeepsTheLineAsFound) {
    EXPECT_EQ(update::offerText("1.65"),
              "Version 1.65 is available. Would you like to download it?");
    EXPECT_EQ(update::offerText(" 1.65 "),
              "Version  1.65  is available. Would you like to download it?");
}

TEST(StateText, EveryStateHasItsText) {
    const std::vector<std::string> texts = {
        "No state to report",
        "Looking IP address of host",
        "Found the IP address of host",
        "Connecting to host",
        "Successfully connected to host",
        "Sending request to host",
        "Successfully sent request to host",
        "Receiving response from host",
        "Successfully received a response from host",
        "Disconnecting from host",
        "Successfully disconected from host",
        "Error during communication with host",
        "Request completed and all data has been received",
    };
    for (int state = 0; state < static_cast<int>(texts.size()); ++state) {
        EXPECT_EQ(update::stateText(state), texts[static_cast<std::size_t>(state)]) << state;
    }
    EXPECT_FALSE(update::stateText(-1));
    EXPECT_FALSE(update::stateText(13));
}

TEST(ProgressReport, ReportsEachStepOnceAndInOrder) {
    update::ProgressReport progress;
    EXPECT_EQ(progress.reach(1), (std::vector<int>{1}));
    EXPECT_EQ(progress.reach(6), (std::vector<int>{2, 3, 4, 5, 6}));
    EXPECT_EQ(progress.reach(6), (std::vector<int>{}));  // a repeated signal
    EXPECT_EQ(progress.reach(3), (std::vector<int>{}));  // never backwards
    EXPECT_EQ(progress.reach(7), (std::vector<int>{7}));
    // The response proves every step up to it, and no further.
    EXPECT_EQ(update::ProgressReport().reach(8), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(update::ProgressReport().reach(12), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
}

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
                                         DirectoryCase{"C:\\Program Files (x86)\\Vantrel", true},
                                         DirectoryCase{"c:\\program files (x86)\\vantrel", true},
                                         DirectoryCase{"C:\\Program Files (x86)\\Vantrel\\", false},
                                         DirectoryCase{"C:\\Program Files\\Vantrel", false},
                                         DirectoryCase{" C:\\Program Files (x86)\\Vantrel", false},
                                         DirectoryCase{"C:/Program Files (x86)/Vantrel", false},
                                         DirectoryCase{"C:\\src\\vantrel", true},
                                         DirectoryCase{"C:\\SRC\\VANTREL\\", false},
                                         DirectoryCase{"/home/op/vantrel", false},
                                         DirectoryCase{"", false}));

TEST(DownloadErrorText, NamesBothFilesAndTheReason) {
    EXPECT_EQ(update::downloadErrorText(404, "http://www.example.org/vantrelsetup.exe",
                                        "vantrelsetup.exe", "Not Found"),
              "Error 404 downloading file 'http://www.example.org/vantrelsetup.exe' to "
              "'vantrelsetup.exe'.\r\nNot Found");
}

TEST(AboutLabel, VersionLineEndsInCrLfTheOthersInLf) {
    EXPECT_EQ(update::aboutLabelText("1.64"),
              "Your Vantrel version is 1.64\r\nCopyright (C) 2023 The Vantrel developers\n"
              "http://www.example.org/download.html\n\n"
              "To update you can simply click on the update button below. ");
}

TEST(History, ThreeLinesEachEndingInCrLf) {
    EXPECT_EQ(update::historyText(),
              "Vesion 1.64 Coded by the Vantrel developers (08/25/2023)\r\n"
              "Changed label from \"Tone\" to \"Pitch\"\r\n"
              "Added History button on the About screen\r\n");
}

struct AddressCase {
    const char* given;
    const char* opened;
};

class BrowserAddressTest : public testing::TestWithParam<AddressCase> {};

TEST_P(BrowserAddressTest, PrefixesUnlessHttpStandsFirst) {
    EXPECT_EQ(update::browserAddress(GetParam().given), GetParam().opened);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BrowserAddressTest,
    testing::Values(AddressCase{"www.example.org", "http://www.example.org"},
                    AddressCase{"http://www.example.org", "http://www.example.org"},
                    AddressCase{"HTTP://WWW.EXAMPLE.ORG", "HTTP://WWW.EXAMPLE.ORG"},
                    AddressCase{"Https://www.example.org/x", "Https://www.example.org/x"},
                    AddressCase{"hTtPs://a.example", "hTtPs://a.example"},
                    AddressCase{"www.example.org/http", "http://www.example.org/http"},
                    AddressCase{" http://www.example.org", "http:// http://www.example.org"},
                    AddressCase{"httpd.example.org", "httpd.example.org"},
                    AddressCase{"htt", "http://htt"}, AddressCase{"", "http://"}));

}  // namespace
