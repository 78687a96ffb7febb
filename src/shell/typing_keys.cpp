#include "shell/typing_keys.h"

#include <QKeyEvent>

namespace shell {

std::optional<char> typedByte(const QKeyEvent& key) {
    const Qt::KeyboardModifiers held =
        key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (held != Qt::NoModifier && held != (Qt::ControlModifier | Qt::AltModifier)) {
        return std::nullopt;
    }
    if (key.key() == Qt::Key_Escape) {
        return '\x0A';
    }
    if (key.key() == Qt::Key_Backspace) {
        return '\x08';
    }
    const QString text = key.text();
    if (text.size() != 1 || !text.at(0).isPrint()) {
        return std::nullopt;
    }
    const QChar typed = text.at(0);
    const QChar upper = typed.toUpper();
    const char16_t code = upper.unicode() <= 0xFF ? upper.unicode() : typed.unicode();
    if (code > 0xFF) {
        return std::nullopt;
    }
    return static_cast<char>(code);
}

}  // namespace shell
