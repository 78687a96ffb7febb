#include "update/version_rules.h"

#include <array>
#include <utility>

#include "platform/number_text.h"

namespace update {
namespace {

constexpr std::size_t kShortestVersion = 4;

constexpr std::array<std::string_view, 13> kStateTexts = {
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

std::string_view withoutBlanksAround(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::optional<std::string_view> stateText(int state) {
    if (state < 0 || state >= static_cast<int>(kStateTexts.size())) {
        return std::nullopt;
    }
    return kStateTexts[static_cast<std::size_t>(state)];
}

std::vector<int> ProgressReport::reach(int state) {
    std::vector<int> states;
    for (int next = reported_ + 1; next <= state && next <= kResponseReceived; ++next) {
        states.push_back(next);
        reported_ = next;
    }
    return states;
}

FirstLine firstLineOf(std::string text) {
    for (;;) {
        if (text.size() < kShortestVersion) {
            return {std::move(text), false};
        }
        auto end = text.find('\r');
        if (end == std::string::npos) {
            end = text.find('\n');
        }
        if (end == std::string::npos) {
            return {std::move(text), true};
        }
        text.resize(end);
    }
}

bool offersUpdate(std::string_view running, std::string_view published) {
    return numbers::leadingNumber(published) > 0.0 && withoutBlanksAround(published) != running;
}

std::string offerText(std::string_view published) {
    return "Version " + std::string(published) + " is available. Would you like to download it?";
}

}  // namespace update
