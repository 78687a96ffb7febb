#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What the program answers on the command line before it opens any window.
namespace app {

struct Answer {
    std::string text;
    bool toStderr = false;  // an error: the text goes to stderr
    int exitCode = 0;
};

// --help (-h) and --version (-v) are answered here, without a display; so is anything the
// program does not take: an unknown option or an argument gives a message and the usage on
// stderr and the exit code 2. nullopt when the window is to open: no arguments, or only the
// window toolkit's own options (such as -platform offscreen), which the toolkit takes.
std::optional<Answer> answerCommandLine(const std::vector<std::string>& arguments,
                                        std::string_view version);

// The one line said when no window can be opened: `display` and `waylandDisplay` are the
// environment's DISPLAY and WAYLAND_DISPLAY, `reason` what the window toolkit said first.
std::string noDisplayLine(std::string_view display, std::string_view waylandDisplay,
                          std::string_view reason);

}  // namespace app
