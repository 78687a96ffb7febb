#pragma once

#include <QDir>
#include <QString>

#include <optional>

#include "shell/radio_choice.h"
#include "shell/settings_codec.h"

// The settings file in the working directory. Its name has always been written "VanTrel.ini"
// and tested as "Vantrel.ini" on a system that ignores case; here any spelling is found.
namespace settings {

// The existing settings file's path in `dir`, or an empty string when there is none.
QString findFile(const QDir& dir);

// Reads the file; nullopt when there is none or it cannot be read.
std::optional<Loaded> load(const QDir& dir);

// Writes the file whole or not at all: the new content replaces the old file only once it is
// written in full, and any failure leaves the old file as it was. Where the folder takes no new
// file but the file itself may be written, it is overwritten in place, with the same checks.
// Returns an empty string on success, otherwise why it failed.
QString save(const QDir& dir, const Values& values);

// The radio choice's own file in `dir` ("VanTrelRadio.ini"): read (the defaults when there is
// none or it cannot be read) and written whole or not at all (an empty string on success,
// otherwise why it failed).
RadioChoice loadRadioChoice(const QDir& dir);
QString saveRadioChoice(const QDir& dir, const RadioChoice& choice);

}  // namespace settings
