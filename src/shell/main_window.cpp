#include "shell/main_window.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>

#include <limits>

#include "bridge/connection.h"
#include "bridge/relay.h"
#include "devices/devices_window.h"
#include "keyer/hex_text.h"
#include "keyer/transmit_pane.h"
#include "platform/number_text.h"
#include "shell/settings_file.h"
#include "shell/typing_keys.h"
#include "shell/value_bar.h"
#include "shell/window_layout.h"
#include "shell/window_parts.h"
#include "tone/monitor_player.h"
#include "update/about_window.h"

// The artwork is compiled into this library; a static library must register it itself.
static void registerArtwork() {
    Q_INIT_RESOURCE(assets);
}

namespace shell {

const QString MainWindow::appVersion = QStringLiteral("1.64");

namespace {

// The design's outer widths count a frame of 380 twips around the window's inside. Show and
// Hide decide on that width, so the two layouts are the same under every window manager: the
// narrow one shows the left panel exactly, the wide one both panes with a margin.
constexpr int kFrameTwips = 3755 - 3375;
constexpr int kMinSpeed = 5;
constexpr int kMaxSpeed = 50;
// Panes are cut back when they grow past this many characters...
constexpr int kPaneLimit = 200;
// ...to this many, starting at the 100th.
constexpr int kPaneKeep = 255;
constexpr int kPaneCutStart = 99;

std::string toBytes(const QString& text) {
    return text.toStdString();
}

QString latin1(std::string_view bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// Appends to a traffic pane and cuts it back once it holds more than 200 characters.
void appendToPane(QPlainTextEdit* pane, const QString& added) {
    QString text = pane->toPlainText() + added;
    if (text.size() > kPaneLimit) {
        text = text.mid(kPaneCutStart, kPaneKeep);
    }
    pane->setPlainText(text);
    pane->moveCursor(QTextCursor::End);
}

bool isEnter(const QKeyEvent* key) {
    return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

}  // namespace

MainWindow::MainWindow(MainWindowParts parts, QWidget* parent)
    : QMainWindow(parent), parts_(parts) {
    registerArtwork();
    setObjectName(QStringLiteral("VanTrel"));
    setWindowTitle(QStringLiteral("Van Trel"));
    setWindowIcon(QIcon(QStringLiteral(":/assets/icon.png")));

    buildControls();
    buildMenus();
    setTabOrder();
    // Narrow at start: only the left panel shows (the menu bar's height is added by the
    // panel's minimum size).
    resize(kPanelWidth, kPanelHeight);

    relay_ = new bridge::Relay(parts_.applicationPort, parts_.keyerPort, parts_.messages, this);
    connect(relay_, &bridge::Relay::chunkForwarded, this, &MainWindow::onChunkForwarded);
    connect(relay_, &bridge::Relay::keyerStreamRead, this, &MainWindow::onKeyerStreamRead);
    connect(relay_, &bridge::Relay::keyerBytesRelayed, this, &MainWindow::onKeyerBytesRelayed);

    const auto side = [](QLineEdit* field, StatusLight* light) {
        return bridge::SideControls{[field] { return field->text(); },
                                    [light] { return !light->isHidden(); },
                                    [light](bool shown) { light->setVisible(shown); }};
    };
    connection_ =
        new bridge::Connection(parts_.applicationPort, side(Text1, Shape1), parts_.keyerPort,
                               side(Text2, Shape2), parts_.messages, this);
    connect(Command1, &QPushButton::clicked, this,
            [this] { Command1->setText(connection_->click()); });
    connect(connection_, &bridge::Connection::lightsChanged, this,
            [this] { Command1->setText(connection_->caption()); });

    monitor_ = new tone::MonitorPlayer(this);
    connect(Text6, &QLineEdit::textChanged, this, &MainWindow::followLatency);
    connect(VScroll1, &QScrollBar::valueChanged, monitor_, &tone::MonitorPlayer::setVolume);

    // Start-up: settings first, then the sound; a failing step leaves the design values.
    LoadStuff();
    followLatency(Text6->text());
    monitor_->setVolume(VScroll1->value());
    monitor_->setSpeed(VScroll2->value());
    connect(VScroll3, &QScrollBar::valueChanged, this,
            [this](int pitch) { monitor_->SetSound(soundDeviceIndex_, pitch); });
    monitor_->SetSound(soundDeviceIndex_, VScroll3->value());

    Text1->setFocus();
}

MainWindow::~MainWindow() = default;

std::string MainWindow::monitorQueue() const {
    return monitor_->pendingText();
}

// The latency is taken when it changes: its leading number, in milliseconds.
void MainWindow::followLatency(const QString& text) {
    monitor_->setLatency(numbers::leadingNumber(toBytes(text)));
}

bool MainWindow::localTyping() const {
    return relay_->localTyping();
}

void MainWindow::LoadStuff() {
    const auto loaded = settings::load(QDir::current());
    if (!loaded) {
        return;
    }
    // The pitch change that rebuilds the sound is connected only after loading: start-up builds
    // it once, from the loaded device and pitch.
    if (loaded->applicationPort) {
        Text1->setText(QString::fromLatin1(*loaded->applicationPort));
    }
    if (loaded->keyerPort) {
        Text2->setText(QString::fromLatin1(*loaded->keyerPort));
    }
    if (loaded->volume) {
        VScroll1->setValue(*loaded->volume);
    }
    if (loaded->speed) {
        VScroll2->setValue(*loaded->speed);
    }
    if (loaded->latency) {
        Text6->setText(QString::fromLatin1(*loaded->latency));
    }
    if (loaded->soundDeviceIndex) {
        soundDeviceIndex_ = *loaded->soundDeviceIndex;
    }
    if (loaded->pitch) {
        VScroll3->setValue(*loaded->pitch);
    }
}

QString MainWindow::SaveStuff() {
    settings::Values values;
    values.applicationPort = Text1->text().toLatin1().toStdString();
    values.keyerPort = Text2->text().toLatin1().toStdString();
    values.volume = VScroll1->value();
    values.speed = VScroll2->value();
    values.latency = Text6->text().toLatin1().toStdString();
    values.soundDeviceIndex = soundDeviceIndex_;
    values.pitch = VScroll3->value();
    return settings::save(QDir::current(), values);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (saveOnClose_) {
        saveOnClose_ = false;  // one save per run, however the window is closed
        const QString error = SaveStuff();
        if (!error.isEmpty()) {
            parts_.messages.inform(
                QStringLiteral("The settings could not be saved in %1: %2")
                    .arg(QDir::current().filePath(QStringLiteral("VanTrel.ini")), error));
        }
    }
    for (QWidget* other : {static_cast<QWidget*>(devicesWindow_.data()),
                           static_cast<QWidget*>(aboutWindow_.data())}) {
        if (other != nullptr) {
            other->close();
        }
    }
    connection_->closeAll();
    event->accept();
}

void MainWindow::onSpeedTextChanged(const QString& text) {
    const double speed = numbers::leadingNumber(toBytes(text));
    if (speed < kMinSpeed) {
        Text4->setText(QStringLiteral("5"));  // changes the text again, which sends it
        return;
    }
    // The keyer already has a speed that came from its own stream.
    if (!followingKeyerSpeed_) {
        sendSpeedToKeyer(speed);
    }
}

// The operator's speed as the keyer's speed command 0x02 nn, written between the application's
// commands.
void MainWindow::sendSpeedToKeyer(double speed) {
    if (!parts_.keyerPort.isOpen()) {
        monitor_->setSpeed(static_cast<int>(std::min(speed, 99.0)));
        return;
    }
    // A value beyond 32 bits is clamped rather than refused.
    const std::int32_t whole =
        numbers::roundToInt32(speed).value_or(std::numeric_limits<std::int32_t>::max());
    const std::string hex = QString::number(whole, 16).toUpper().toStdString();
    relay_->sendOwn(keyer::Converthex1("02") + keyer::Converthex1(hex));
}

void MainWindow::onChunkForwarded(const std::string& chunk, bool typed, bool) {
    if (!typed && ShowWK->isChecked()) {
        appendToPane(Text3, latin1(keyer::transmitPaneText(chunk)));
    }
}

// What the keyer does with its stream: the monitor keys it the latency later, and its speed
// shows on the speed bar.
void MainWindow::onKeyerStreamRead(const std::vector<keyer::StreamEvent>& events,
                                   std::chrono::nanoseconds forwardedAt) {
    monitor_->keyerStream(events, forwardedAt);
    for (const keyer::StreamEvent& event : events) {
        // The speed bar follows the application; our own command came from it.
        if (event.kind == keyer::StreamEvent::Kind::Speed && event.a >= kMinSpeed &&
            event.a <= kMaxSpeed && !relay_->readingOwnBytes()) {
            followingKeyerSpeed_ = true;
            VScroll2->setValue(event.a);
            followingKeyerSpeed_ = false;
        }
    }
}

void MainWindow::onKeyerBytesRelayed(const QByteArray& bytes) {
    if (ShowEcho->isChecked()) {
        appendToPane(Text5, QString::fromLatin1(bytes));
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == centralWidget() && event->type() == QEvent::Resize) {
        showWhatFits();
    }
    if (event->type() != QEvent::KeyPress) {
        return QMainWindow::eventFilter(watched, event);
    }
    auto* key = static_cast<QKeyEvent*>(event);
    if (watched == Text5 && isEnter(key)) {
        focusAtEnd(Text3);
        return true;
    }
    if (watched == Text3) {
        return onTypingPaneKey(key);
    }
    return QMainWindow::eventFilter(watched, event);
}

// A key in the typing pane goes to the keyer as a chunk of its own (typedByte says which keys
// send what). The pane still edits the key as usual.
bool MainWindow::onTypingPaneKey(QKeyEvent* key) {
    if (isEnter(key)) {
        focusAtEnd(Text5);
        return true;
    }
    if (const std::optional<char> byte = typedByte(*key)) {
        relay_->setLocalTyping(true);
        relay_->GetDataWinkey(std::string(1, *byte));
    }
    if (key->key() == Qt::Key_Escape) {
        Text3->insertPlainText(QStringLiteral("\n"));
        return true;
    }
    return false;
}

void MainWindow::toggleTrafficPanes() {
    const int outer = width() * kTwipsPerPixel + kFrameTwips;
    const int wanted = outer >= 8000 ? 3755 : 9855;
    resize((wanted - kFrameTwips) / kTwipsPerPixel, height());
    Xmt->setText(wanted <= 7000 ? QStringLiteral("&Show") : QStringLiteral("Hi&de"));
}

// A traffic control shows only while it fits the window whole, so the keyboard never reaches
// one the operator cannot see.
void MainWindow::showWhatFits() {
    const int inside = centralWidget()->width();
    for (QWidget* control : trafficPanel_) {
        control->setVisible(control->geometry().right() < inside);
    }
}

void MainWindow::showHelp() {
    parts_.messages.inform(
        QStringLiteral(
            "First create a Com Port virtual pair. For example Com15 and Com16. In N1MM set the "
            "Winkey Port output to COM15 and set the VanTrel virtual port to COM16. Set the "
            "VanTrel Winkey Port to the Winkey Port that was set up in SmartSDR. The volume "
            "slider will adjust the volume. The Latency figure is set to match the latency "
            "SmartSDR has over WIFI. Finally Click the Connect button to connect to the ports. "
            "If all is well a green light should appear next to the port designations. ") +
        QStringLiteral("\r\n") +
        QStringLiteral(
            "NOTE: ALL CW SPEEDS SHOULD BE SET IN EACH APPLICATION SO THAT THEY MATCH. IF YOU "
            "ADJUST THE SPEED IN N1MM ALL THREE SHOULD STAY IN SYNC. ALSO, you should start N1MM "
            "first so that the Winkeyer (SmartSDR) is initialized. ") +
        QStringLiteral("\r\n") +
        QStringLiteral(
            "TRICK: To force N1MM to init Winkey touch Control K and send a character."));
}

void MainWindow::openDevices() {
    if (devicesWindow_ != nullptr) {
        devicesWindow_->close();
    }
    devicesWindow_ =
        new devices::DevicesWindow(monitor_->deviceDescriptions(), soundDeviceIndex_, this);
    devicesWindow_->setAttribute(Qt::WA_DeleteOnClose);
    connect(devicesWindow_, &devices::DevicesWindow::applied, this, [this](int position) {
        soundDeviceIndex_ = position;
        monitor_->SetSound(soundDeviceIndex_, VScroll3->value());
    });
    devicesWindow_->show();
}

void MainWindow::openAbout() {
    if (aboutWindow_ == nullptr) {
        aboutWindow_ = new update::AboutWindow(appVersion, parts_.messages, this);
        aboutWindow_->setAttribute(Qt::WA_DeleteOnClose);
        connect(aboutWindow_, &update::AboutWindow::endProgramRequested, this,
                &MainWindow::endWithoutSaving);
    }
    aboutWindow_->show();
    aboutWindow_->raise();
}

// A started installer replaces this program: end now, leaving the settings file as it was.
void MainWindow::endWithoutSaving() {
    saveOnClose_ = false;
    close();
}

}  // namespace shell
