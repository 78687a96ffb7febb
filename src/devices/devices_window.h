#pragma once

#include <QStringList>
#include <QWidget>

namespace devices {

// The "Devices" window: lists the sound outputs and applies the operator's choice.
// PLACEHOLDER; the monitor issue fills it in.
class DevicesWindow : public QWidget {
    Q_OBJECT

  public:
    DevicesWindow(const QStringList& descriptions, int soundDeviceIndex, QWidget* parent = nullptr);

  signals:
    // The operator applied list position `position` (0-based).
    void applied(int position);
};

}  // namespace devices
