#pragma once

#include <QString>

#include "platform/desktop.h"

namespace update {

// Opens `URL` in the operator's default browser, with "http://" in front unless it starts with
// "http" in any case; true when the desktop took the address.
bool OpenBrowser(platform::Desktop& desktop, const QString& URL);

}  // namespace update
