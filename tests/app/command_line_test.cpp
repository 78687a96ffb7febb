#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/command_line.h"

namespace {

using Args = std::vector<std::string>;

// What the command line answers before any window: help and version on stdout with 0, the
// window toolkit's own options passed on to it, anything else refused on stderr with 2.
TEST(CommandLine, AnswersTakesOrRefusesEachArgument) {
    struct Case {
        const char* what;
        Args arguments;
        bool opensWindow;
        int exitCode;
        bool toStderr;
        std::string begins;  // the answer's text begins with this
    };
    const std::vector<Case> cases{
        {"nothing", {}, true, 0, false, ""},
        {"help", {"--help"}, false, 0, false, "Usage: vantrel"},
        {"short help", {"-h"}, false, 0, false, "Usage: vantrel"},
        {"version", {"--version"}, false, 0, false, "vantrel 9.87\n"},
        {"short version", {"-v"}, false, 0, false, "vantrel 9.87\n"},
        {"help after a toolkit option",
         {"-platform", "offscreen", "--help"},
         false,
         0,
         false,
         "Usage: vantrel"},
        {"toolkit option and value", {"-platform", "offscreen"}, true, 0, false, ""},
        {"toolkit option with two dashes", {"--platform", "offscreen"}, true, 0, false, ""},
        {"toolkit option with =", {"-style=fusion"}, true, 0, false, ""},
        {"toolkit flags", {"-reverse", "--widgetcount"}, true, 0, false, ""},
        {"display", {"-display", ":1"}, true, 0, false, ""},
        {"unknown option", {"--bogus"}, false, 2, true, "vantrel: unknown option '--bogus'\n"},
        {"unknown short option", {"-x"}, false, 2, true, "vantrel: unknown option '-x'\n"},
        {"an option's value that is missing",
         {"-platform"},
         false,
         2,
         true,
         "vantrel: option '-platform' needs a value\n"},
        {"= on an option that does not take it",
         {"-platform=offscreen"},
         false,
         2,
         true,
         "vantrel: unknown option"},
        {"an argument", {"COM16"}, false, 2, true, "vantrel: unexpected argument 'COM16'"},
        {"an argument after an option",
         {"-reverse", "x"},
         false,
         2,
         true,
         "vantrel: unexpected argument 'x'"},
        {"a lone dash", {"-"}, false, 2, true, "vantrel: unexpected argument '-'"},
    };
    for (const Case& c : cases) {
        const auto answer = app::answerCommandLine(c.arguments, "9.87");
        ASSERT_EQ(!answer.has_value(), c.opensWindow) << c.what;
        if (!answer) {
            continue;
        }
        EXPECT_EQ(answer->exitCode, c.exitCode) << c.what;
        EXPECT_EQ(answer->toStderr, c.toStderr) << c.what;
        EXPECT_EQ(answer->text.substr(0, c.begins.size()), c.begins) << c.what;
        if (c.exitCode == 2) {  // a refusal shows the usage
            EXPECT_NE(answer->text.find("\nUsage: vantrel"), std::string::npos) << c.what;
        }
    }
}

TEST(CommandLine, TheHelpNamesBothOptions) {
    const std::string help = app::answerCommandLine({"--help"}, "1").value().text;
    EXPECT_NE(help.find("--help"), std::string::npos);
    EXPECT_NE(help.find("--version"), std::string::npos);
}

}  // namespace
