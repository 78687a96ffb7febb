#pragma once

#include <string>
#include <string_view>

// The fixed texts of the About and History windows, and how an address is made fit for the
// browser.
namespace update {

// The About window's main label: the running version, the copyright notice, the download page
// and a hint. The first line ends in CR LF, the others in a lone LF.
std::string aboutLabelText(std::string_view appVersion);

// The History window's text: three lines, each ending in CR LF.
std::string historyText();

// The address handed to the browser: "http://" goes in front unless "http" (in any case)
// already stands at the very start.
std::string browserAddress(std::string_view address);

}  // namespace update
