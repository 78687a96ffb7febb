#include "platform/qt_message_boxes.h"

namespace platform {

QtMessageBoxes::~QtMessageBoxes() {
    waiting_.clear();
    if (showing_ != nullptr) {
        QObject::disconnect(showing_, nullptr, nullptr, nullptr);
        delete showing_;
    }
}

void QtMessageBoxes::inform(const QString& text) {
    post({QMessageBox::NoIcon, kApplicationTitle, text, QMessageBox::Ok, {}});
}

void QtMessageBoxes::warn(const QString& title, const QString& text) {
    post({QMessageBox::Warning, title, text, QMessageBox::Ok, {}});
}

void QtMessageBoxes::askYesNo(const QString& text, std::function<void(bool)> answer) {
    post({QMessageBox::Question, kApplicationTitle, text, QMessageBox::Yes | QMessageBox::No,
          std::move(answer)});
}

void QtMessageBoxes::post(Message message) {
    waiting_.push_back(std::move(message));
    if (showing_ == nullptr) {
        showNext();
    }
}

// Shows the first waiting message. When its box is closed, the next one follows.
void QtMessageBoxes::showNext() {
    if (waiting_.empty()) {
        return;
    }
    Message message = std::move(waiting_.front());
    waiting_.pop_front();
    auto* box =
        new QMessageBox(message.icon, message.title, message.text, message.buttons, parent_);
    box->setAttribute(Qt::WA_DeleteOnClose);
    // Messages carry text from servers and ports (a version line, a reason phrase, a device's
    // name): shown as the characters they are, never as markup or links.
    box->setTextFormat(Qt::PlainText);
    if (parent_ != nullptr) {
        box->setWindowModality(Qt::WindowModal);
    }
    if (message.answer) {
        QObject::connect(box, &QMessageBox::finished, box,
                         [box, answer = std::move(message.answer)](int) {
                             answer(box->clickedButton() == box->button(QMessageBox::Yes));
                         });
    }
    QObject::connect(box, &QMessageBox::finished, [this] {
        showing_ = nullptr;
        showNext();
    });
    showing_ = box;
    box->show();
}

}  // namespace platform
