#pragma once

#include <QDir>
#include <QString>

#include <optional>

#include "shell/settings_codec.h"

// The settings file in the working directory. Its name has always been written "VanTrel.ini"
// and tested as "Vantrel.ini" on a system that ignores case; here any spelling is found.
namespace settings {

// The existing settings file's path in `dir`, or an empty string when there is none.
QString findFile(const QDir& dir);

// Reads the file; nullopt when there is none or it cannot be read.
std::optional<Loaded> load(const QDir& dir);

// Writes the file atomically: the old file stays whole unless the new one was written in full.
// Returns an empty string on success, otherwise why it failed.
QString save(const QDir& dir, const Values& values);

}  // namespace settings
