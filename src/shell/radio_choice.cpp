#include "shell/radio_choice.h"

#include <charconv>
#include <string>

namespace settings {
namespace {

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.back() == '\r' || s.back() == ' ' || s.back() == '\t')) {
        s.remove_suffix(1);
    }
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    return s;
}

std::optional<int> pitchFrom(std::string_view value) {
    int hz = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), hz);
    if (error != std::errc() || end != value.data() + value.size() ||
        hz < RadioChoice::kLowestPitchHz || hz > RadioChoice::kHighestPitchHz) {
        return std::nullopt;
    }
    return hz;
}

}  // namespace

RadioChoice decodeRadioChoice(std::string_view text) {
    RadioChoice choice;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = trimmed(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        const std::size_t equals = line.find('=');
        if (line.empty() || line.front() == '#' || equals == std::string_view::npos) {
            continue;
        }
        const std::string_view key = trimmed(line.substr(0, equals));
        const std::string_view value = trimmed(line.substr(equals + 1));
        if (key == "input") {
            choice.input = std::string(value);
        } else if (key == "pitch") {
            choice.pitchHz = pitchFrom(value);
        } else if (key == "follow") {
            choice.follow = value == "1";
        }
    }
    return choice;
}

std::string encodeRadioChoice(const RadioChoice& choice) {
    std::string text =
        "# Vantrel: the sound input with the radio's receive audio, for measuring the radio's "
        "delay.\n";
    std::string input = choice.input;  // one line, whatever the id holds
    std::erase_if(input, [](char c) { return c == '\n' || c == '\r'; });
    text += "input=" + input + "\n";
    text += "pitch=" + (choice.pitchHz ? std::to_string(*choice.pitchHz) : std::string()) + "\n";
    text += std::string("follow=") + (choice.follow ? "1" : "0") + "\n";
    return text;
}

}  // namespace settings
