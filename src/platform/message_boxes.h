#pragma once

#include <QString>

#include <functional>

namespace platform {

// Every message the operator reads goes through here, so tests can read the exact text and
// answer without a person. Boxes do not block the caller: the relay and the monitor carry on
// while a message waits for its OK.
class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;

    // OK button, the application's title.
    virtual void inform(const QString& text) = 0;
    // OK button, an exclamation icon and a title of its own.
    virtual void warn(const QString& title, const QString& text) = 0;
    // Yes and No buttons, the application's title; `answer` receives true for Yes.
    virtual void askYesNo(const QString& text, std::function<void(bool)> answer) = 0;
};

// The title of the application's own message boxes.
inline const QString kApplicationTitle = QStringLiteral("Vantrel");

}  // namespace platform
