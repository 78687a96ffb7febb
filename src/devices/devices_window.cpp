#include "devices/devices_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

namespace devices {
namespace {

constexpr int kTwipsPerPixel = 15;
// The pitches an operator may give the radio's CW; below them the spin box reads "find".
constexpr int kLowestPitchHz = 200;
constexpr int kHighestPitchHz = 2000;

QRect twips(int left, int top, int width, int height) {
    return {left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel,
            height / kTwipsPerPixel};
}

}  // namespace

DevicesWindow::DevicesWindow(const QStringList& descriptions, int soundDeviceIndex, QWidget* parent)
    : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("Devices"));
    setWindowTitle(QStringLiteral("Devices"));
    // The sound outputs' part keeps its design; the radio's part lies below it.
    setFixedSize(5745 / kTwipsPerPixel, 3960 / kTwipsPerPixel);

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

    Label2 = new QLabel(QStringLiteral("Radio audio (to measure the radio's delay)"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(twips(240, 1620, 5415, 300));

    Combo2 = new QComboBox(this);
    Combo2->setObjectName(QStringLiteral("Combo2"));
    Combo2->setGeometry(twips(240, 1920, 5415, 315));
    Combo2->addItem(QStringLiteral("none"), QString());
    connect(Combo2, &QComboBox::activated, this, &DevicesWindow::chooseRadio);

    Label3 = new QLabel(QStringLiteral("CW pitch"), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setGeometry(twips(240, 2400, 900, 330));

    Spin1 = new QSpinBox(this);
    Spin1->setObjectName(QStringLiteral("Spin1"));
    Spin1->setGeometry(twips(1140, 2385, 1350, 360));
    Spin1->setRange(kLowestPitchHz - 10, kHighestPitchHz);
    Spin1->setSingleStep(10);
    Spin1->setSuffix(QStringLiteral(" Hz"));
    Spin1->setSpecialValueText(QStringLiteral("find"));
    Spin1->setValue(Spin1->minimum());
    Spin1->setToolTip(
        QStringLiteral("The pitch of the radio's CW in its receive audio; \"find\" looks for it."));
    connect(Spin1, &QSpinBox::editingFinished, this, &DevicesWindow::chooseRadio);

    Command3 = new QPushButton(QStringLiteral("Take"), this);
    Command3->setObjectName(QStringLiteral("Command3"));
    Command3->setGeometry(twips(2640, 2355, 975, 420));
    Command3->setToolTip(QStringLiteral("Take the measured delay as the latency now."));
    connect(Command3, &QPushButton::clicked, this, &DevicesWindow::takeRadioDelay);

    Check1 = new QCheckBox(QStringLiteral("Follow"), this);
    Check1->setObjectName(QStringLiteral("Check1"));
    Check1->setGeometry(twips(3720, 2385, 1935, 360));
    Check1->setToolTip(
        QStringLiteral("The latency follows the measured delay, changed only between words."));
    connect(Check1, &QCheckBox::toggled, this, &DevicesWindow::followRadio);

    Label4 = new QLabel(this);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label4->setGeometry(twips(240, 2850, 5415, 1020));
    Label4->setWordWrap(true);
    Label4->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label4->setTextFormat(Qt::PlainText);  // device names come from outside

    statusTimer_.setInterval(kStatusEveryMs);
    connect(&statusTimer_, &QTimer::timeout, this, &DevicesWindow::refreshStatus);
}

void DevicesWindow::showRadio(const QList<Input>& inputs, const QString& chosenId, int pitchHz,
                              bool follow) {
    Combo2->clear();
    Combo2->addItem(QStringLiteral("none"), QString());
    for (const Input& input : inputs) {
        Combo2->addItem(input.description, input.id);
    }
    int chosen = Combo2->findData(chosenId);
    if (chosen < 0) {  // chosen before, not there now: kept, and said so
        Combo2->addItem(QStringLiteral("%1 (not found)").arg(chosenId), chosenId);
        chosen = Combo2->count() - 1;
    }
    Combo2->setCurrentIndex(chosen);
    Spin1->setValue(pitchHz >= kLowestPitchHz ? pitchHz : Spin1->minimum());
    const QSignalBlocker quiet(Check1);
    Check1->setChecked(follow);
}

void DevicesWindow::setStatusSource(std::function<QString()> status) {
    status_ = std::move(status);
    refreshStatus();
    statusTimer_.start();
}

void DevicesWindow::refreshStatus() {
    if (status_) {
        Label4->setText(status_());
    }
}

void DevicesWindow::chooseRadio() {
    const int pitch = Spin1->value() >= kLowestPitchHz ? Spin1->value() : 0;
    emit radioChosen(Combo2->currentData().toString(), pitch);
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
