#include "devices/devices_window.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace devices {
namespace {

constexpr int kTwipsPerPixel = 15;

QRect twips(int left, int top, int width, int height) {
    return {left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel,
            height / kTwipsPerPixel};
}

}  // namespace

DevicesWindow::DevicesWindow(const QStringList& descriptions, int soundDeviceIndex, QWidget* parent)
    : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("Devices"));
    setWindowTitle(QStringLiteral("Devices"));
    setFixedSize(5745 / kTwipsPerPixel, 1635 / kTwipsPerPixel);

    Label1 = new QLabel(QStringLiteral("Sound Devices"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(twips(2160, 0, 2535, 375));

    // An editable combo box shows "Default" until an entry is chosen, as the operator's
    // documentation pictures it; typing in it selects nothing.
    Combo1 = new QComboBox(this);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setGeometry(twips(240, 360, 5415, 315));
    Combo1->setEditable(true);
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    Combo1->addItems(descriptions);
    if (soundDeviceIndex >= 0 && soundDeviceIndex < Combo1->count()) {
        Combo1->setCurrentIndex(soundDeviceIndex);
    } else {
        Combo1->setCurrentIndex(-1);
        Combo1->setEditText(QStringLiteral("Default"));
    }

    Command1 = new QPushButton(QStringLiteral("Apply"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(twips(240, 960, 975, 495));
    connect(Command1, &QPushButton::clicked, this, &DevicesWindow::apply);

    Command2 = new QPushButton(QStringLiteral("Close"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setGeometry(twips(3720, 960, 975, 495));
    connect(Command2, &QPushButton::clicked, this, &QWidget::close);
}

// With nothing chosen there is nothing to apply: the window just closes.
void DevicesWindow::apply() {
    const int position = Combo1->currentIndex();
    const bool chosen = position >= 0 && Combo1->currentText() == Combo1->itemText(position);
    if (chosen) {
        emit applied(position);
    }
    close();
}

}  // namespace devices
