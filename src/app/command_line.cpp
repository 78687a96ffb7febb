#include "app/command_line.h"

#include <algorithm>
#include <array>

namespace app {

namespace {

const char* const kUsage = "Usage: vantrel [--help | --version] [window toolkit options]\n";

const char* const kHelp =
    "\n"
    "Vantrel sits on the serial line between a contest logger that drives a WinKeyer and the\n"
    "WinKeyer port of a remote radio's software. It relays every byte both ways unchanged and\n"
    "plays the text the logger sends as a local CW sidetone, held back by the latency you set.\n"
    "\n"
    "It works in the folder it is started from: the settings file VanTrel.ini, the tone\n"
    "cw.wav and the serial ports. Port n is the file COMn (or comn) there, usually a link to a\n"
    "serial device or to one end of a virtual pair, and otherwise /dev/ttyS(n-1).\n"
    "\n"
    "  -h, --help      show this text and end\n"
    "  -v, --version   show the version and end\n"
    "\n"
    "The window toolkit's own options are taken too, such as -platform offscreen,\n"
    "-style NAME, -reverse or -display HOST:SCREEN.\n"
    "More in the manual page vantrel(1) and in the user guide.\n";

// The window toolkit's own options, which it takes from the command line itself. Each may be
// written with one dash or two.
constexpr std::array<std::string_view, 15> kToolkitOptionsWithValue{"platform",
                                                                    "platformpluginpath",
                                                                    "platformtheme",
                                                                    "plugin",
                                                                    "qwindowgeometry",
                                                                    "geometry",
                                                                    "qwindowtitle",
                                                                    "title",
                                                                    "qwindowicon",
                                                                    "icon",
                                                                    "session",
                                                                    "display",
                                                                    "name",
                                                                    "style",
                                                                    "stylesheet"};
constexpr std::array<std::string_view, 6> kToolkitFlags{"reverse", "widgetcount", "testability",
                                                        "nograb",  "dograb",      "sync"};
// These also take their value after "=".
constexpr std::array<std::string_view, 3> kToolkitOptionsWithEquals{"style", "stylesheet",
                                                                    "qmljsdebugger"};

template <std::size_t N>
bool among(const std::array<std::string_view, N>& names, std::string_view name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

Answer refused(const std::string& why) {
    return {"vantrel: " + why + "\n" + kUsage + "Try 'vantrel --help' for more.\n", true, 2};
}

}  // namespace

std::optional<Answer> answerCommandLine(const std::vector<std::string>& arguments,
                                        std::string_view version) {
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            return Answer{std::string(kUsage) + kHelp};
        }
        if (argument == "--version" || argument == "-v") {
            return Answer{"vantrel " + std::string(version) + "\n"};
        }
        if (argument.size() < 2 || argument[0] != '-') {
            return refused("unexpected argument '" + argument +
                           "': Vantrel takes no file or port names (the ports are typed into "
                           "its window)");
        }
        std::string_view name(argument);
        name.remove_prefix(name.starts_with("--") ? 2 : 1);
        const auto equals = name.find('=');
        if (equals != std::string_view::npos &&
            among(kToolkitOptionsWithEquals, name.substr(0, equals))) {
            continue;
        }
        if (among(kToolkitFlags, name)) {
            continue;
        }
        if (among(kToolkitOptionsWithValue, name)) {
            if (i + 1 == arguments.size()) {
                return refused("option '" + argument + "' needs a value");
            }
            ++i;
            continue;
        }
        return refused("unknown option '" + argument + "'");
    }
    return std::nullopt;
}

std::string noDisplayLine(std::string_view display, std::string_view waylandDisplay,
                          std::string_view reason) {
    if (display.empty() && waylandDisplay.empty()) {
        return "vantrel: no display to open the window on (DISPLAY and WAYLAND_DISPLAY are not "
               "set); start it from a desktop session";
    }
    std::string line = "vantrel: cannot open the window on display \"" +
                       std::string(display.empty() ? waylandDisplay : display) + "\"";
    if (!reason.empty()) {
        line += " (" + std::string(reason) + ")";
    }
    return line;
}

}  // namespace app
