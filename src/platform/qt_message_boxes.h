#pragma once

#include <QMessageBox>
#include <QPointer>

#include <deque>

#include "platform/message_boxes.h"

class QWidget;

namespace platform {

// Real message boxes, one at a time: a message that comes while another is open waits until
// that one is closed, then shows in its place. Nobody waits for a box: the caller, the relay
// and the monitor carry on while a message waits for its OK. Boxes are window-modal to
// `parent` when one is given.
class QtMessageBoxes final : public MessageBoxes {
  public:
    explicit QtMessageBoxes(QWidget* parent = nullptr) : parent_(parent) {}
    ~QtMessageBoxes() override;
    QtMessageBoxes(const QtMessageBoxes&) = delete;
    QtMessageBoxes& operator=(const QtMessageBoxes&) = delete;

    void inform(const QString& text) override;
    void warn(const QString& title, const QString& text) override;
    void askYesNo(const QString& text, std::function<void(bool)> answer) override;

    // The box on screen, if any, and how many wait behind it.
    QMessageBox* showing() const { return showing_; }
    std::size_t waiting() const { return waiting_.size(); }

  private:
    struct Message {
        QMessageBox::Icon icon;
        QString title;
        QString text;
        QMessageBox::StandardButtons buttons;
        std::function<void(bool)> answer;  // Yes/No questions only
    };

    void post(Message message);
    void showNext();

    QWidget* parent_;
    std::deque<Message> waiting_;
    QPointer<QMessageBox> showing_;
};

}  // namespace platform
