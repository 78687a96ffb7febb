#include "shell/value_bar.h"

#include <QKeyEvent>
#include <QToolTip>

namespace shell {

ValueBar::ValueBar(int bottom, int top, int value, std::function<QString(int)> describe,
                   QWidget* parent)
    : QScrollBar(Qt::Vertical, parent), describe_(std::move(describe)) {
    setRange(bottom, top);
    setSingleStep(1);
    setPageStep(1);
    setValue(value);
    // The highest value is drawn at the top; the keys and the wheel go the same way.
    setInvertedAppearance(true);
    setInvertedControls(false);
    setFocusPolicy(Qt::StrongFocus);
    // The standard menu's "Top", "Page up" and "Scroll up" would go the other way.
    setContextMenuPolicy(Qt::NoContextMenu);
    connect(this, &QAbstractSlider::actionTriggered, this, &ValueBar::turnMouseAction);
    connect(this, &QAbstractSlider::valueChanged, this, &ValueBar::describeValue);
    // While the thumb is dragged the value may not change until it is let go: the tooltip
    // follows the thumb all the same.
    connect(this, &QAbstractSlider::sliderMoved, this, [this](int position) {
        describeValue(position);
        QToolTip::showText(mapToGlobal(QPoint(width(), height() / 2)), toolTip(), this);
    });
    describeValue(value);
}

// The arrows and the trough step the value as if the bottom were the top (the style places
// them by their drawing, the bar steps them by its range). An action that a held mouse button
// repeats is the mouse's: it is turned round before the value moves.
void ValueBar::turnMouseAction(int action) {
    if (action != repeatAction()) {
        return;
    }
    int wanted = value();
    switch (action) {
        case SliderSingleStepAdd:
            wanted -= singleStep();
            break;
        case SliderSingleStepSub:
            wanted += singleStep();
            break;
        case SliderPageStepAdd:
            wanted -= pageStep();
            break;
        case SliderPageStepSub:
            wanted += pageStep();
            break;
        case SliderToMinimum:
            wanted = maximum();
            break;
        case SliderToMaximum:
            wanted = minimum();
            break;
        default:
            return;
    }
    setSliderPosition(qBound(minimum(), wanted, maximum()));
}

// Home goes to the top, End to the bottom, as drawn.
void ValueBar::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Home || event->key() == Qt::Key_End) {
        triggerAction(event->key() == Qt::Key_Home ? SliderToMaximum : SliderToMinimum);
        event->accept();
        return;
    }
    QScrollBar::keyPressEvent(event);
}

void ValueBar::describeValue(int value) {
    setToolTip(describe_(value));
}

}  // namespace shell
