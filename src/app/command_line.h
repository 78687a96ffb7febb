#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What the program answers on the command line before it opens any window.
namespace app {

struct Answer {
    std::string text;  // for stdout
    int exitCode = 0;
};

// --help (-h) and --version (-v) are answered here, without a display; nullopt for everything
// else, which goes on to the window toolkit (its own options such as -platform included).
std::optional<Answer> answerCommandLine(const std::vector<std::string>& arguments,
                                        std::string_view version);

// The one line said when no window can be opened: `display` and `waylandDisplay` are the
// environment's DISPLAY and WAYLAND_DISPLAY, `reason` what the window toolkit said first.
std::string noDisplayLine(std::string_view display, std::string_view waylandDisplay,
                          std::string_view reason);

}  // namespace app
