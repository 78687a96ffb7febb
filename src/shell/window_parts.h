#pragma once

#include <QPainter>
#include <QPixmap>
#include <QWidget>

// Small painted parts of the main window.
namespace shell {

// A status light: a filled green circle, shown only while its port is open.
class StatusLight final : public QWidget {
  public:
    using QWidget::QWidget;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const int d = qMin(width(), height()) - 1;
        painter.setPen(Qt::black);
        painter.setBrush(QColor(0x00, 0xC0, 0x00));
        painter.drawEllipse((width() - d) / 2, (height() - d) / 2, d, d);
    }
};

// The window's surface: a dark blue ground with the picture at its top left, unscaled.
class Backdrop final : public QWidget {
  public:
    explicit Backdrop(QPixmap picture, QWidget* parent = nullptr)
        : QWidget(parent), picture_(std::move(picture)) {}

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), QColor(0x00, 0x00, 0x40));
        painter.drawPixmap(0, 0, picture_);
    }

  private:
    QPixmap picture_;
};

}  // namespace shell
