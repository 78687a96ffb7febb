#include "options.h"

#include <charconv>
#include <cmath>

namespace sim {
namespace {

std::optional<int> parseInt(const std::string& text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::optional<double> parseDouble(const std::string& text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

// A pitch the radio can play at its 48000 frames a second, with room for the ramps.
std::optional<double> parsePitch(const std::string& text) {
    const auto hz = parseDouble(text);
    return hz && *hz >= 100 && *hz <= 5000 ? hz : std::nullopt;
}

}  // namespace

const char* const kUsage =
    "usage: vantrel-sim [--dir DIR] [--app-port N] [--keyer-port N] [--speed WPM]\n"
    "                   [--script FILE [--repeat]] [--until-done] [--log FILE]\n"
    "                   [--key-log FILE]\n"
    "                   [--radio-sink SINK [--radio-delay MS] [--radio-step AT_S:MS]...\n"
    "                    [--radio-pitch HZ] [--radio-noise DB] [--radio-second HZ]\n"
    "                    [--radio-log FILE]]\n"
    "\n"
    "Makes DIR/COM<app-port> (the logger's cable end) and DIR/COM<keyer-port> (the keyer's)\n"
    "for Vantrel to open. Defaults: DIR '.', ports 16 and 17, speed 28.\n"
    "--log FILE writes the traffic log there instead of standard output.\n"
    "--key-log FILE writes each key edge of the keyer as it happens: '<ns> down' or\n"
    "'<ns> up', the time in nanoseconds of the monotonic clock (CLOCK_MONOTONIC).\n"
    "--repeat runs the script again and again; --until-done ends once it has been keyed.\n"
    "\n"
    "The radio: --radio-sink plays what the keyer keys as CW into that PulseAudio sink,\n"
    "delayed by --radio-delay MS (default 250); --radio-step AT_S:MS makes the delay MS from\n"
    "AT_S seconds after the start on (taken at the next word; may be given more than once).\n"
    "--radio-pitch HZ (default 700); --radio-noise DB adds white noise DB below the tone;\n"
    "--radio-second HZ adds a second station sending random CW at that pitch.\n"
    "--radio-log FILE writes each key edge as the radio plays it, like --key-log.\n"
    "\n"
    "The logger opens the keyer (no-ops, echo test, host open, mode, pins, speed), then sends\n"
    "the script's lines, or the lines typed on standard input. A line is text to key, sent a\n"
    "few bytes at a time, or one of:\n"
    "  @speed WPM        the speed command 02 WPM\n"
    "  @cancel           clear buffer, 0A\n"
    "  @wait SECONDS     a pause\n"
    "  @idle             wait until the keyer has keyed everything sent so far\n"
    "  @bytes HH HH ...  these bytes, written in hex, at once (commands, parameters, text)\n"
    "  @expect HH        wait for this byte from the keyer; '@expect any' for any answer\n"
    "  @paced TEXT       each character once the keyer has echoed the one before\n"
    "  @trickle TEXT     one character at a time, 2 to 4 a second, jittered\n"
    "  @seed N           seed the trickle's jitter (the same seed, the same pace)\n"
    "  @no-handshake     the logger does not open the keyer: the script does, with @bytes and\n"
    "                    @expect\n"
    "Blank lines and lines starting with '#' are skipped; a malformed directive is text.\n";

std::optional<Options> parseOptions(const std::vector<std::string>& arguments) {
    Options o;
    bool radioAsked = false;  // a radio option without a sink is a mistake
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& arg = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        const std::string value = hasValue ? arguments[i + 1] : std::string();
        bool ok = true;
        if (arg == "--repeat") {
            o.repeat = true;
            continue;
        }
        if (arg == "--until-done") {
            o.untilDone = true;
            continue;
        }
        if (!hasValue) {
            return std::nullopt;
        }
        ++i;
        if (arg == "--dir") {
            o.dir = value;
        } else if (arg == "--app-port" || arg == "--keyer-port" || arg == "--speed") {
            const auto n = parseInt(value);
            ok = n.has_value();
            (arg == "--app-port"     ? o.appPort
             : arg == "--keyer-port" ? o.keyerPort
                                     : o.speed) = n.value_or(0);
        } else if (arg == "--script") {
            o.script = value;
        } else if (arg == "--log") {
            o.logFile = value;
        } else if (arg == "--key-log") {
            o.keyLogFile = value;
        } else if (arg == "--radio-sink") {
            o.radio.sink = value;
            ok = !value.empty();
        } else if (arg == "--radio-delay") {
            const auto delay = delays::parseDelayMs(value);
            ok = delay.has_value();
            o.radio.delay = delay.value_or(o.radio.delay);
            radioAsked = true;
        } else if (arg == "--radio-step") {
            const auto step = delays::parseStep(value);
            ok = step.has_value();
            if (step) {
                o.radio.steps.push_back(*step);
            }
            radioAsked = true;
        } else if (arg == "--radio-pitch" || arg == "--radio-second") {
            const auto hz = parsePitch(value);
            ok = hz.has_value();
            if (arg == "--radio-pitch") {
                o.radio.pitchHz = hz.value_or(0);
            } else {
                o.radio.secondHz = hz;
            }
            radioAsked = true;
        } else if (arg == "--radio-noise") {
            const auto db = parseDouble(value);
            ok = db && *db >= -20 && *db <= 120;
            o.radio.noiseDb = db;
            radioAsked = true;
        } else if (arg == "--radio-log") {
            o.radio.logFile = value;
            radioAsked = true;
        } else {
            return std::nullopt;
        }
        if (!ok) {
            return std::nullopt;
        }
    }
    if (o.appPort <= 0 || o.keyerPort <= 0 || o.appPort == o.keyerPort || o.speed < 5 ||
        o.speed > 99 || (radioAsked && o.radio.sink.empty())) {
        return std::nullopt;
    }
    return o;
}

}  // namespace sim
