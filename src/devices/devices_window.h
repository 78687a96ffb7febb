#pragma once

#include <QList>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace devices {

// The "Devices" window: lists the sound outputs and applies the operator's choice; below, the
// input that carries the radio's receive audio, with which Vantrel measures the radio's delay,
// and a status line on the sidetone and the radio.
class DevicesWindow : public QWidget {
    Q_OBJECT

  public:
    struct Input {
        QString id;
        QString description;
    };

    // `descriptions` in list order; the entry at `soundDeviceIndex` is preselected when the
    // list has one there (otherwise "Default" shows and nothing is selected).
    DevicesWindow(const QStringList& descriptions, int soundDeviceIndex, QWidget* parent = nullptr);

    // The inputs to choose the radio's audio from; `chosenId` (empty: none) is shown chosen,
    // listed even when it is not there now. `pitchHz` 0: the pitch is found.
    void showRadio(const QList<Input>& inputs, const QString& chosenId, int pitchHz, bool follow);
    // The status line's text, asked for at once and then every kStatusEveryMs while shown.
    void setStatusSource(std::function<QString()> status);

    static constexpr int kStatusEveryMs = 500;

  signals:
    // The operator applied list position `position` (0-based).
    void applied(int position);
    // The operator chose the radio's input (empty: none) or its pitch (0: found): at once.
    void radioChosen(const QString& inputId, int pitchHz);
    // Take the measured delay as the latency now.
    void takeRadioDelay();
    // Whether the latency follows the measured delay.
    void followRadio(bool follow);

  private:
    void apply();
    void chooseRadio();
    void refreshStatus();

    QLabel* Label1 = nullptr;         // caption over the list
    QComboBox* Combo1 = nullptr;      // the sound output devices
    QPushButton* Command1 = nullptr;  // Apply
    QPushButton* Command2 = nullptr;  // Close

    QLabel* Label2 = nullptr;         // caption over the radio's inputs
    QComboBox* Combo2 = nullptr;      // "none", then the inputs
    QLabel* Label3 = nullptr;         // "CW pitch"
    QSpinBox* Spin1 = nullptr;        // the radio's CW pitch; "find" at 0
    QPushButton* Command3 = nullptr;  // Take
    QCheckBox* Check1 = nullptr;      // Follow
    QLabel* Label4 = nullptr;         // the status line
    std::function<QString()> status_;
    QTimer statusTimer_;
};

}  // namespace devices
