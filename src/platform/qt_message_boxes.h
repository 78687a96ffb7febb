#pragma once

#include "platform/message_boxes.h"

class QWidget;

namespace platform {

// Real message boxes: window-modal to `parent` when given, shown without blocking the caller.
class QtMessageBoxes final : public MessageBoxes {
  public:
    explicit QtMessageBoxes(QWidget* parent = nullptr) : parent_(parent) {}

    void inform(const QString& text) override;
    void warn(const QString& title, const QString& text) override;
    void askYesNo(const QString& text, std::function<void(bool)> answer) override;

  private:
    QWidget* parent_;
};

}  // namespace platform
