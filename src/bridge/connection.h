#pragma once

#include <QObject>
#include <QString>

#include <functional>

#include "bridge/port_messages.h"
#include "platform/message_boxes.h"
#include "platform/serial_port.h"

namespace bridge {

// What the connection needs of one side of the main window.
struct SideControls {
    std::function<QString()> portText;  // the port field, exactly as typed
    std::function<bool()> lightShown;   // the side's status light
    std::function<void(bool)> showLight;
};

// The Connect/Disconnect button. The two status lights are the connection state: the button
// decides from them alone what a click does, and its caption follows them.
//
// Both sides are connected or neither is: a Connect where one side does not open closes the
// other again, and a side that stops working closes the other too. So nothing is read from
// the logger that the keyer could not get: the far ends keep their bytes until the next
// Connect, and the operator corrects the port and clicks once.
class Connection : public QObject {
    Q_OBJECT

  public:
    Connection(platform::SerialPort& applicationPort, SideControls application,
               platform::SerialPort& keyerPort, SideControls keyer,
               platform::MessageBoxes& messages, QObject* parent = nullptr,
               MessagePlatform platform = kThisPlatform);

    // One click of the button; returns its new caption.
    QString click();
    // "Disconnect" while a light is shown, else "Connect".
    QString caption() const;

    // Opens one side ("19200,N,8,1" for the application, "1200,N,8,1" for the keyer) and lights
    // it, or tells the operator why not. Opening sends nothing.
    void InitComm();
    void InitComm1();

    // Closes both ports and puts the lights out (Disconnect, or the window is going away).
    void closeAll();
    // Runs before a port is closed, so what the application port holds can be taken first.
    void setBeforeClosing(std::function<void()> step) { beforeClosing_ = std::move(step); }

  signals:
    // The lights went out on their own: a port stopped working.
    void lightsChanged();
    // The ports were closed (Disconnect, a port lost, a Connect that did not open both).
    void closed();

  private:
    struct Side {
        platform::SerialPort& port;
        SideControls controls;
        const char* settings;  // baud, parity, data bits, stop bits
        SideWords words;
        int number = 0;  // the port number it was opened with
    };

    void open(Side& side);
    void portFailed(Side& side, const QString& description);

    Side application_;
    Side keyer_;
    platform::MessageBoxes& messages_;
    MessagePlatform platform_;
    std::function<void()> beforeClosing_;
};

}  // namespace bridge
