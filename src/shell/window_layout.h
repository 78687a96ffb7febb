#pragma once

#include <QPlainTextEdit>
#include <QRect>
#include <QTextCursor>

// How the main window is laid out: the designer's twips, the left panel, and a pane helper
// that both the controls and the window's events use.
namespace shell {

inline constexpr int kTwipsPerPixel = 15;
// The left panel, all that shows of the narrow window.
inline constexpr int kPanelWidth = 3375 / kTwipsPerPixel;
inline constexpr int kPanelHeight = 4380 / kTwipsPerPixel;

inline QRect twips(int left, int top, int width, int height) {
    return {left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel,
            height / kTwipsPerPixel};
}

inline void focusAtEnd(QPlainTextEdit* pane) {
    pane->setFocus();
    pane->moveCursor(QTextCursor::End);
}

}  // namespace shell
