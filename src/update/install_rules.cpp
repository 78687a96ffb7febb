#include "update/install_rules.h"

#include <algorithm>

namespace update {

bool isInstallDirectory(std::string_view workingDirectory,
                        const std::vector<std::string>& accepted) {
    std::string upper(workingDirectory);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
    return std::find(accepted.begin(), accepted.end(), upper) != accepted.end();
}

bool isInstallDirectory(std::string_view workingDirectory) {
    static const std::vector<std::string> directories = {std::string(kStandardInstallDirectory),
                                                         std::string(kDevelopmentDirectory)};
    return isInstallDirectory(workingDirectory, directories);
}

std::string downloadErrorText(long long number, std::string_view sourceFile,
                              std::string_view destFile, std::string_view description) {
    return "Error " + std::to_string(number) + " downloading file '" + std::string(sourceFile) +
           "' to '" + std::string(destFile) + "'.\r\n" + std::string(description);
}

std::string downloadElsewhereText(std::string_view downloadPage) {
    return "Vantrel installs its updates itself only when it runs from its installation "
           "directory. The new version is on the download page, " +
           std::string(downloadPage) + " . Would you like to open it in your browser?";
}

}  // namespace update
