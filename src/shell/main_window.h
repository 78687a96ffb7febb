#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "platform/audio_output.h"
#include "platform/message_boxes.h"
#include "platform/serial_port.h"
#include "shell/radio_choice.h"

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QScrollBar;

namespace bridge {
class Session;
}  // namespace bridge
namespace devices {
class DevicesWindow;
}  // namespace devices
namespace update {
class AboutWindow;
}  // namespace update

namespace shell {

class StatusLight;

// What the main window is wired to.
struct MainWindowParts {
    platform::SerialPort& applicationPort;  // MSComm1: faces the logger
    platform::SerialPort& keyerPort;        // MSComm2: faces the keyer
    platform::MessageBoxes& messages;
    // The sound output; the system's when none is given.
    std::unique_ptr<platform::AudioOutput> audio = nullptr;
};

// The main window "Van Trel": the operator's controls, start-up and shut-down. It shows the
// session's state (bridge::Session: the connection, the relay and the monitor) and hands it the
// operator's actions; the rules live in bridge::, keyer:: and tone::.
class MainWindow : public QMainWindow {
    Q_OBJECT

  public:
    explicit MainWindow(MainWindowParts parts, QWidget* parent = nullptr);
    ~MainWindow() override;

    static const QString appVersion;
    // The latency field's tooltip (the measured radio delay is added below it).
    static const QString latencyHint;

    // The text the monitor has still to sound.
    std::string monitorQueue() const;
    int soundDeviceIndex() const { return soundDeviceIndex_; }
    const bridge::Session& session() const { return *session_; }

    // Saves the settings now (the desktop session is ending and may not come back); returns
    // why it failed, or nothing.
    QString saveSettings();
    // The program ends, however it ends (a close, a signal, the desktop session's end): the
    // settings are saved as a close saves them, once, the other windows close and the ports
    // are closed. Returns why the save failed, or nothing.
    QString end();

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildControls();
    void buildMenus();
    void setTabOrder();

    void LoadStuff();
    QString SaveStuff();

    void onSpeedBarChanged(int wpm);
    void onSpeedEntered();
    void showLoggerSpeed(int wpm);
    void showLights();
    void onLoggerChunk(const std::string& chunk);
    void onKeyerBytesRelayed(const QByteArray& bytes);
    bool onTypingPaneKey(QKeyEvent* key);
    void toggleTrafficPanes();
    void showWhatFits();
    void showHelp();
    void openDevices();
    void listenToRadio();
    void saveRadioChoice();
    void showRadioDelay();
    QString devicesStatus() const;
    void openAbout();
    void endWithoutSaving();

    platform::MessageBoxes& messages_;
    int soundDeviceIndex_ = 0;
    settings::RadioChoice radioChoice_;
    bool saveOnEnd_ = true;
    bool ended_ = false;
    bool showingLoggerSpeed_ = false;  // the bar shows the logger's speed: nothing to send

    // Controls, named as the operator's documentation names them.
    QLineEdit* Text1 = nullptr;       // application-side port number
    QLineEdit* Text2 = nullptr;       // keyer-side port number
    QLineEdit* Text4 = nullptr;       // CW speed, words per minute
    QLineEdit* Text6 = nullptr;       // latency in ms (timer ticks)
    StatusLight* Shape1 = nullptr;    // application port open
    StatusLight* Shape2 = nullptr;    // keyer port open
    QScrollBar* VScroll1 = nullptr;   // volume, hundredths of a dB, 0 at the top
    QScrollBar* VScroll2 = nullptr;   // speed slider, 50 at the top
    QScrollBar* VScroll3 = nullptr;   // pitch, 8000 at the top
    QPushButton* Command1 = nullptr;  // Connect / Disconnect
    QPushButton* Command2 = nullptr;  // Close
    QPushButton* Command3 = nullptr;  // clears the typing pane
    QPushButton* Command4 = nullptr;  // Test
    QPushButton* Command5 = nullptr;  // clears the copy pane
    QPlainTextEdit* Text3 = nullptr;  // typing pane; shows the application's traffic
    QPlainTextEdit* Text5 = nullptr;  // copy pane; shows the keyer's echo
    QCheckBox* ShowWK = nullptr;
    QCheckBox* ShowEcho = nullptr;
    QAction* Xmt = nullptr;               // Show / Hide
    std::vector<QWidget*> trafficPanel_;  // the controls right of the left panel

    bridge::Session* session_ = nullptr;
    QPointer<devices::DevicesWindow> devicesWindow_;
    QPointer<update::AboutWindow> aboutWindow_;
};

}  // namespace shell
