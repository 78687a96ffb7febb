#pragma once

#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>

#include "platform/desktop.h"

namespace update {

// The "History" window: a short, dated list of what changed in each version.
class HistoryWindow : public QWidget {
    Q_OBJECT

  public:
    explicit HistoryWindow(platform::Desktop& desktop, QWidget* parent = nullptr);

    QPlainTextEdit* Text1;  // the history text; editable, edits are lost with the window
    QPushButton* Command1;  // "Close"
};

}  // namespace update
