#include "app/command_line.h"

namespace app {

namespace {

const char* const kHelp =
    "Usage: vantrel [--help | --version]\n"
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
    "The window toolkit's own options (such as -platform offscreen) are accepted too.\n"
    "More in the manual page vantrel(1) and in the user guide.\n";

}  // namespace

std::optional<Answer> answerCommandLine(const std::vector<std::string>& arguments,
                                        std::string_view version) {
    for (const std::string& argument : arguments) {
        if (argument == "--help" || argument == "-h") {
            return Answer{kHelp, 0};
        }
        if (argument == "--version" || argument == "-v") {
            return Answer{"vantrel " + std::string(version) + "\n", 0};
        }
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
