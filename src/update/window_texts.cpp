#include "update/window_texts.h"

#include "update/addresses.h"

namespace update {
namespace {

constexpr std::string_view kCopyright = "Copyright (C) 2023 The Vantrel developers";
constexpr std::string_view kAuthor = "the Vantrel developers";

bool startsWithHttp(std::string_view address) {
    constexpr std::string_view kHttp = "http";
    if (address.size() < kHttp.size()) {
        return false;
    }
    for (std::size_t i = 0; i < kHttp.size(); ++i) {
        const char c = address[i];
        if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c) != kHttp[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string aboutLabelText(std::string_view appVersion) {
    return "Your Vantrel version is " + std::string(appVersion) + "\r\n" + std::string(kCopyright) +
           "\n" + std::string(addresses::kDownloadPage) + "\n\n" +
           "To update you can simply click on the update button below. ";
}

std::string historyText() {
    // "Vesion" is how the list has always been headed.
    return "Vesion 1.64 Coded by " + std::string(kAuthor) + " (08/25/2023)\r\n" +
           "Changed label from \"Tone\" to \"Pitch\"\r\n" +
           "Added History button on the About screen\r\n";
}

std::string browserAddress(std::string_view address) {
    if (startsWithHttp(address)) {
        return std::string(address);
    }
    return "http://" + std::string(address);
}

}  // namespace update
