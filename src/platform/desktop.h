#pragma once

#include <QString>

class QWidget;

namespace platform {

// What the program asks of the desktop it runs on: the browser, window stacking, starting
// another program and the mouse pointer. Tests put a recorder in its place.
class Desktop {
  public:
    virtual ~Desktop() = default;

    // Hands `address` to the operator's default browser; false when nothing took it.
    virtual bool openUrl(const QString& address) = 0;
    // Keeps `window` above all ordinary windows (or stops doing so), at its position and size.
    virtual void keepOnTop(QWidget& window, bool onTop) = 0;
    // Starts the program file `path` in a process of its own; on failure false and the reason
    // in `error`.
    virtual bool startProgram(const QString& path, QString& error) = 0;
    // Shows the busy pointer over the whole screen, or the ordinary one again.
    virtual void setBusy(bool busy) = 0;
};

}  // namespace platform
