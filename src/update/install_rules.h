#pragma once

#include <string>
#include <string_view>
#include <vector>

// Where the installer may be downloaded and started, and what the operator reads when it fails.
namespace update {

// The directories, in upper case, from which the program installs its own update: the standard
// installation directory and the one it runs from during development.
inline constexpr std::string_view kStandardInstallDirectory = "C:\\PROGRAM FILES (X86)\\VANTREL";
inline constexpr std::string_view kDevelopmentDirectory = "C:\\SRC\\VANTREL";

// Whether `workingDirectory` (native separators) is one of `accepted` (upper case), compared as
// a whole after upper-casing: any mix of case matches, a trailing backslash does not.
bool isInstallDirectory(std::string_view workingDirectory,
                        const std::vector<std::string>& accepted);
bool isInstallDirectory(std::string_view workingDirectory);

// The text of the "Download Error" message.
std::string downloadErrorText(long long number, std::string_view sourceFile,
                              std::string_view destFile, std::string_view description);

// Asked instead of installing when the program runs from elsewhere: where the new version is
// found, and whether to open that page in the browser.
std::string downloadElsewhereText(std::string_view downloadPage);

}  // namespace update
