#include "platform/qt_message_boxes.h"

#include <QMessageBox>

namespace platform {
namespace {

QMessageBox* makeBox(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                     const QString& text, QMessageBox::StandardButtons buttons) {
    auto* box = new QMessageBox(icon, title, text, buttons, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    return box;
}

}  // namespace

void QtMessageBoxes::inform(const QString& text) {
    makeBox(parent_, QMessageBox::NoIcon, kApplicationTitle, text, QMessageBox::Ok)->show();
}

void QtMessageBoxes::warn(const QString& title, const QString& text) {
    makeBox(parent_, QMessageBox::Warning, title, text, QMessageBox::Ok)->show();
}

void QtMessageBoxes::askYesNo(const QString& text, std::function<void(bool)> answer) {
    auto* box = makeBox(parent_, QMessageBox::Question, kApplicationTitle, text,
                        QMessageBox::Yes | QMessageBox::No);
    QObject::connect(box, &QMessageBox::finished, box, [box, answer = std::move(answer)](int) {
        if (answer) {
            answer(box->clickedButton() == box->button(QMessageBox::Yes));
        }
    });
    box->show();
}

}  // namespace platform
