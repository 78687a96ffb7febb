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

#include <cmath>

#include "bridge/session.h"
#include "devices/devices_window.h"
#include "keyer/speed_command.h"
#include "keyer/transmit_pane.h"
#include "platform/number_text.h"
#include "shell/settings_file.h"
#include "shell/typing_keys.h"
#include "shell/value_bar.h"
#include "shell/version.h"
#include "shell/window_layout.h"
#include "shell/window_parts.h"
#include "tone/monitor_player.h"
#include "update/about_window.h"

// The artwork is compiled into this library; a static library must register it itself.
static void registerArtwork() {
    Q_INIT_RESOURCE(assets);
}

namespace shell {

const QString MainWindow::appVersion = QString::fromLatin1(shell::kVersion);
const QString MainWindow::latencyHint =
    QStringLiteral("Enter the latency (Delay time in ms) that your WIFI has.");

namespace {

// The design's outer widths count a frame of 380 twips around the window's inside. Show and
// Hide decide on that width, so the two layouts are the same under every window manager: the
// narrow one shows the left panel exactly, the wide one both panes with a margin.
constexpr int kFrameTwips = 3755 - 3375;
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
    : QMainWindow(parent), messages_(parts.messages) {
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

    session_ = new bridge::Session(parts.applicationPort, parts.keyerPort, parts.messages,
                                   std::move(parts.audio), this);
    connect(Command1, &QPushButton::clicked, this,
            [this] { Command1->setText(session_->click(Text1->text(), Text2->text())); });
    connect(session_, &bridge::Session::lightsChanged, this, &MainWindow::showLights);
    connect(session_, &bridge::Session::speedFollowed, this, &MainWindow::showLoggerSpeed);
    connect(session_, &bridge::Session::loggerChunk, this, &MainWindow::onLoggerChunk);
    connect(session_, &bridge::Session::keyerBytesRelayed, this, &MainWindow::onKeyerBytesRelayed);
    connect(Text6, &QLineEdit::textChanged, this,
            [this](const QString& text) { session_->setLatencyText(toBytes(text)); });
    connect(VScroll1, &QScrollBar::valueChanged, session_, &bridge::Session::setVolume);

    // Start-up: settings first, then the sound; a failing step leaves the design values.
    LoadStuff();
    session_->setLatencyText(toBytes(Text6->text()));
    session_->setVolume(VScroll1->value());
    session_->setOperatorSpeed(VScroll2->value());
    connect(VScroll3, &QScrollBar::valueChanged, this,
            [this](int pitch) { session_->SetSound(soundDeviceIndex_, pitch); });
    session_->SetSound(soundDeviceIndex_, VScroll3->value());

    // The radio's delay: measured from the radio's audio when an input is chosen; shown by the
    // latency field, and taken into it when the operator takes or follows it.
    tone::MonitorPlayer& monitor = session_->monitor();
    connect(&monitor, &tone::MonitorPlayer::latencyFollowed, this,
            [this](int ms) { Text6->setText(QString::number(ms)); });
    connect(&monitor.radio(), &tone::RadioListener::estimateChanged, this,
            &MainWindow::showRadioDelay);
    radioChoice_ = settings::loadRadioChoice(QDir::current());
    monitor.setFollowRadio(radioChoice_.follow);
    listenToRadio();

    Text1->setFocus();
}

MainWindow::~MainWindow() = default;

std::string MainWindow::monitorQueue() const {
    return session_->monitorQueue();
}

// The lights show which ports are open; the button's caption follows them.
void MainWindow::showLights() {
    Shape1->setVisible(session_->applicationLit());
    Shape2->setVisible(session_->keyerLit());
    Command1->setText(session_->caption());
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

QString MainWindow::saveSettings() {
    if (!saveOnEnd_) {
        return {};
    }
    const QString error = SaveStuff();
    if (error.isEmpty()) {
        return {};
    }
    return QStringLiteral("The settings could not be saved in %1: %2")
        .arg(QDir::current().filePath(QStringLiteral("VanTrel.ini")), error);
}

QString MainWindow::end() {
    if (ended_) {
        return {};
    }
    ended_ = true;  // one save per run, however the program ends
    const QString error = saveSettings();
    for (QWidget* other : {static_cast<QWidget*>(devicesWindow_.data()),
                           static_cast<QWidget*>(aboutWindow_.data())}) {
        if (other != nullptr) {
            other->close();
        }
    }
    session_->closePorts();
    return error;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    const QString error = end();
    if (!error.isEmpty()) {
        messages_.inform(error);
    }
    event->accept();
}

// A value the bar settled on: the field shows it, and unless it is the logger's own speed
// being shown, it is the operator's speed for the keyer.
void MainWindow::onSpeedBarChanged(int wpm) {
    Text4->setText(QString::number(wpm));
    if (!showingLoggerSpeed_) {
        session_->setOperatorSpeed(wpm);
    }
}

// The speed field takes any text while it is typed; when it is entered (Enter, or the focus
// leaves it changed) its number is limited to the speed range and becomes the speed.
void MainWindow::onSpeedEntered() {
    const int wpm = keyer::enteredSpeed(numbers::leadingNumber(toBytes(Text4->text())));
    Text4->setText(QString::number(wpm));
    if (VScroll2->value() != wpm) {
        VScroll2->setValue(wpm);  // sends it
    } else {
        session_->setOperatorSpeed(wpm);
    }
}

void MainWindow::showLoggerSpeed(int wpm) {
    showingLoggerSpeed_ = true;
    VScroll2->setValue(wpm);
    showingLoggerSpeed_ = false;
}

void MainWindow::onLoggerChunk(const std::string& chunk) {
    if (ShowWK->isChecked()) {
        appendToPane(Text3, latin1(keyer::transmitPaneText(chunk)));
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
        session_->type(*byte);
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
    messages_.inform(
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

// An open Devices window comes forward as it is, with a choice not yet applied kept.
void MainWindow::openDevices() {
    if (devicesWindow_ == nullptr) {
        devicesWindow_ =
            new devices::DevicesWindow(session_->deviceDescriptions(), soundDeviceIndex_, this);
        devicesWindow_->setAttribute(Qt::WA_DeleteOnClose);
        connect(devicesWindow_, &devices::DevicesWindow::applied, this, [this](int position) {
            soundDeviceIndex_ = position;
            session_->SetSound(soundDeviceIndex_, VScroll3->value());
        });
        QList<devices::DevicesWindow::Input> inputs;
        for (const auto& input : session_->monitor().radio().inputs()) {
            inputs.push_back({input.id, input.description});
        }
        devicesWindow_->showRadio(inputs, QString::fromStdString(radioChoice_.input),
                                  radioChoice_.pitchHz.value_or(0), radioChoice_.follow);
        devicesWindow_->setStatusSource([this] { return devicesStatus(); });
        connect(devicesWindow_, &devices::DevicesWindow::radioChosen, this,
                [this](const QString& id, int pitchHz) {
                    radioChoice_.input = id.toStdString();
                    radioChoice_.pitchHz = pitchHz > 0 ? std::optional(pitchHz) : std::nullopt;
                    saveRadioChoice();
                    listenToRadio();
                });
        connect(devicesWindow_, &devices::DevicesWindow::followRadio, this, [this](bool follow) {
            radioChoice_.follow = follow;
            saveRadioChoice();
            session_->monitor().setFollowRadio(follow);
        });
        connect(devicesWindow_, &devices::DevicesWindow::takeRadioDelay, this,
                [this] { session_->monitor().takeRadioDelay(); });
    }
    devicesWindow_->show();
    devicesWindow_->raise();
    devicesWindow_->activateWindow();
}

void MainWindow::listenToRadio() {
    const auto pitch =
        radioChoice_.pitchHz ? std::optional<double>(*radioChoice_.pitchHz) : std::nullopt;
    session_->monitor().listenToRadio(QString::fromStdString(radioChoice_.input), pitch);
}

// The choice is kept at once: it lives in a file of its own, not in the settings file.
void MainWindow::saveRadioChoice() {
    const QString failed = settings::saveRadioChoice(QDir::current(), radioChoice_);
    if (!failed.isEmpty()) {
        qWarning("radio audio: the choice could not be saved: %s", qUtf8Printable(failed));
    }
}

// The latency field's tooltip carries the radio's delay as measured.
void MainWindow::showRadioDelay() {
    const auto estimate = session_->monitor().radio().estimate();
    Text6->setToolTip(
        estimate
            ? latencyHint +
                  QStringLiteral("\nRadio delay measured: %1 ms.").arg(estimate->delayMs, 0, 'f', 1)
            : latencyHint);
}

// The Devices window's status line: the sidetone's output, then the radio's delay.
QString MainWindow::devicesStatus() const {
    const tone::MonitorPlayer& monitor = session_->monitor();
    QString sound = monitor.soundProblem();
    if (sound.isEmpty()) {
        const std::int64_t underruns = monitor.underruns();
        sound = QStringLiteral("Sidetone: %1 ms of sound buffered; %2.")
                    .arg(std::lround(monitor.bufferSeconds() * 1000))
                    .arg(underruns == 0 ? QStringLiteral("no underruns")
                                        : QStringLiteral("%1 underruns").arg(underruns));
    }
    return sound + QLatin1Char('\n') + monitor.radio().statusText();
}

void MainWindow::openAbout() {
    if (aboutWindow_ == nullptr) {
        aboutWindow_ = new update::AboutWindow(appVersion, messages_, this);
        aboutWindow_->setAttribute(Qt::WA_DeleteOnClose);
        connect(aboutWindow_, &update::AboutWindow::endProgramRequested, this,
                &MainWindow::endWithoutSaving);
    }
    aboutWindow_->show();
    aboutWindow_->raise();
}

// A started installer replaces this program: end now, leaving the settings file as it was.
void MainWindow::endWithoutSaving() {
    saveOnEnd_ = false;
    close();
}

}  // namespace shell
