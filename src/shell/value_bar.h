#pragma once

#include <QScrollBar>
#include <QString>

#include <functional>

namespace shell {

// A vertical bar whose top is its highest value, the way the operator reads a level, a pitch
// or a speed. Everything that moves it goes the way it is drawn: the top arrow, a click in the
// trough above the thumb, Up, Page Up, Home and the wheel turned up all raise the value; their
// counterparts lower it. The tooltip shows the value in the operator's unit (`describe`).
class ValueBar final : public QScrollBar {
  public:
    ValueBar(int bottom, int top, int value, std::function<QString(int)> describe,
             QWidget* parent = nullptr);

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void turnMouseAction(int action);
    void describeValue(int value);

    std::function<QString(int)> describe_;
};

}  // namespace shell
