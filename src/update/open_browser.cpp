#include "update/open_browser.h"

#include "update/window_texts.h"

namespace update {

bool OpenBrowser(platform::Desktop& desktop, const QString& URL) {
    return desktop.openUrl(QString::fromStdString(browserAddress(URL.toStdString())));
}

}  // namespace update
