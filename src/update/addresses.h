#pragma once

#include <string_view>

// Where updates, the download page and the donation page live. Every host the program talks to
// or names is here, and nowhere else.
namespace update::addresses {

// The web server that publishes the version file and the installer (plain HTTP).
inline constexpr std::string_view kWebServer = "http://www.example.org";
inline constexpr std::string_view kVersionFile = "http://www.example.org/VERSION2.TXT";
inline constexpr std::string_view kInstaller = "http://www.example.org/vantrelsetup.exe";
inline constexpr std::string_view kDownloadPage = "http://www.example.org/download.html";

// The donation page, opened in the operator's browser.
inline constexpr std::string_view kDonationPage =
    "https://donate.example.com/donate/?hosted_button_id=VANTREL0164";

// The installer's name on this machine: stored in, and started from, the working directory.
inline constexpr std::string_view kInstallerFile = "vantrelsetup.exe";

}  // namespace update::addresses
