#pragma once

#include <QString>
#include <QWidget>

#include "platform/message_boxes.h"

namespace update {

// The "About" window. PLACEHOLDER; the about/update issue fills it in.
class AboutWindow : public QWidget {
    Q_OBJECT

  public:
    AboutWindow(const QString& appVersion, platform::MessageBoxes& messages,
                QWidget* parent = nullptr);

  signals:
    // A downloaded installer was started: the program must end at once, without saving.
    void endProgramRequested();
};

}  // namespace update
