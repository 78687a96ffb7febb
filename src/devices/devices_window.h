#pragma once

#include <QStringList>
#include <QWidget>

class QComboBox;
class QLabel;
class QPushButton;

namespace devices {

// The "Devices" window: lists the sound outputs and applies the operator's choice.
class DevicesWindow : public QWidget {
    Q_OBJECT

  public:
    // `descriptions` in list order; the entry at `soundDeviceIndex` is preselected when the
    // list has one there (otherwise "Default" shows and nothing is selected).
    DevicesWindow(const QStringList& descriptions, int soundDeviceIndex, QWidget* parent = nullptr);

  signals:
    // The operator applied list position `position` (0-based).
    void applied(int position);

  private:
    void apply();

    QLabel* Label1 = nullptr;         // caption over the list
    QComboBox* Combo1 = nullptr;      // the sound output devices
    QPushButton* Command1 = nullptr;  // Apply
    QPushButton* Command2 = nullptr;  // Close
};

}  // namespace devices
