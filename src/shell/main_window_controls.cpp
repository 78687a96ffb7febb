#include "shell/main_window.h"

#include <QAction>
#include <QCheckBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>

#include <functional>

#include "bridge/session.h"
#include "keyer/speed_command.h"
#include "shell/value_bar.h"
#include "shell/window_layout.h"
#include "shell/window_parts.h"

// The main window's controls and menus, built as the designer placed them.
namespace shell {
namespace {

const char* const kDark = "background-color: #000040; color: white;";

}  // namespace

void MainWindow::buildControls() {
    auto* surface = new Backdrop(QPixmap(QStringLiteral(":/assets/background.png")), this);
    setCentralWidget(surface);
    // The captions were laid out for a small, narrow sans-serif face of 11 pixels.
    QFont small = font();
    small.setPixelSize(11);
    small.setStretch(QFont::SemiCondensed);
    surface->setFont(small);
    menuBar()->setFont(small);

    const auto label = [surface](const char* name, const QString& caption, QRect where) {
        auto* l = new QLabel(caption, surface);
        l->setObjectName(QString::fromLatin1(name));
        l->setGeometry(where);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        l->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
        return l;
    };
    const auto field = [surface](const char* name, const QString& text, QRect where,
                                 const QString& hint) {
        auto* f = new QLineEdit(text, surface);
        f->setObjectName(QString::fromLatin1(name));
        f->setGeometry(where);
        f->setStyleSheet(QString::fromLatin1(kDark));
        f->setToolTip(hint);
        return f;
    };
    const auto bar = [surface](const char* name, int bottom, int top, int value, QRect where,
                               std::function<QString(int)> describe) {
        auto* b = new ValueBar(bottom, top, value, std::move(describe), surface);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(where);
        return b;
    };
    const auto button = [surface](const char* name, const QString& caption, QRect where) {
        auto* b = new QPushButton(caption, surface);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(where);
        return b;
    };
    const auto pane = [surface](const char* name, QRect where) {
        auto* p = new QPlainTextEdit(surface);
        p->setObjectName(QString::fromLatin1(name));
        p->setGeometry(where);
        p->setTabChangesFocus(true);
        p->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        return p;
    };
    const auto check = [surface](const char* name, const QString& caption, QRect where) {
        auto* c = new QCheckBox(caption, surface);
        c->setObjectName(QString::fromLatin1(name));
        c->setGeometry(where);
        c->setStyleSheet(QStringLiteral(
            "QCheckBox { background-color: #000040; color: white; }"
            "QCheckBox::indicator { width: 11px; height: 11px; border: 1px solid white; "
            "background: #000040; }"
            "QCheckBox::indicator:checked { background: #00c000; }"));
        return c;
    };
    const auto shape = [surface](const char* name, QRect where) {
        auto* s = new StatusLight(surface);
        s->setObjectName(QString::fromLatin1(name));
        s->setGeometry(where);
        s->hide();
        return s;
    };

    // Two-line captions beside the port fields.
    label("Label2", QStringLiteral("Virtual     Port"), twips(120, 960, 495, 615))
        ->setWordWrap(true);
    // The port fields are wide enough for "COM17" (the design's were not): each reaches from
    // its caption to just short of its light.
    Text1 = field("Text1", QStringLiteral("1"), twips(630, 960, 645, 375),
                  QStringLiteral("Enter the output port of the virtual com port that comes "
                                 "from your app."));
    Shape1 = shape("Shape1", twips(1080, 1080, 735, 255));
    label("Label3", QStringLiteral("Winkey       Port"), twips(1680, 960, 615, 615))
        ->setWordWrap(true);
    Text2 = field("Text2", QStringLiteral("2"), twips(2205, 960, 645, 375),
                  QStringLiteral("Enter the Com port that goes to the winkey input port in the "
                                 "destination app"));
    Shape2 = shape("Shape2", twips(2640, 1080, 735, 255));
    label("Label5", QStringLiteral("Latency             MS"), twips(1680, 480, 1455, 375));
    Text6 = field("Text6", QStringLiteral("2"), twips(2280, 480, 495, 375), latencyHint);
    label("Label4", QStringLiteral("Volume   Pitch"), twips(360, 1680, 1335, 375));
    // Volume in hundredths of a dB; the pitch is a tenth of the supplied tone's frequency.
    VScroll1 = bar("VScroll1", -3000, 0, -2000, twips(480, 2040, 255, 1575), [](int level) {
        return QStringLiteral("Volume: %1 dB").arg(QString::number(level / 100.0));
    });
    VScroll3 = bar("VScroll3", 3000, 8000, 6000, twips(1080, 2040, 255, 1575), [](int pitch) {
        return QStringLiteral("Pitch: %1 Hz").arg(QString::number(pitch / 10.0));
    });
    Text4 = field("Text4", QStringLiteral("28"), twips(2280, 1560, 495, 375),
                  QStringLiteral("This is the CW speed. You can set it with the slider but to "
                                 "keep everything in sync set it with the source app slider"));
    VScroll2 = bar("VScroll2", keyer::SpeedRange::kSlowest, keyer::SpeedRange::kFastest, 28,
                   twips(2400, 2040, 255, 1575),
                   [](int speed) { return QStringLiteral("Speed: %1 wpm").arg(speed); });
    // A dragged thumb changes the speed once, where it is let go: the keyer hears the settled
    // speed, not every step on the way.
    VScroll2->setTracking(false);
    const char* const letterNames[] = {"Label1", "Label6",  "Label7", "Label8",
                                       "Label9", "Label10", "Label11"};
    const QString letters = QStringLiteral("CWSpeed");
    for (int i = 0; i < 7; ++i) {
        const int top = 2160 + i * (3375 - 2160) / 6;
        label(letterNames[i], letters.mid(i, 1), twips(2160, top, 255, 255));
    }
    Command1 = button("Command1", QStringLiteral("Connect"), twips(120, 3720, 975, 495));
    Command4 = button("Command4", QStringLiteral("Test"), twips(1200, 3720, 975, 495));
    Command2 = button("Command2", QStringLiteral("Close"), twips(2280, 3720, 975, 495));
    Command2->setIcon(QIcon(QStringLiteral(":/assets/close.png")));

    auto* caption3 = label("Label12", QStringLiteral("To Xmt Type Here      <---Enter key--->"),
                           twips(4320, 120, 3255, 375));
    Text3 = pane("Text3", twips(3720, 360, 2535, 3255));
    auto* caption5 =
        label("Label13", QStringLiteral("Type Rcvd Code Here"), twips(7200, 120, 2055, 375));
    Text5 = pane("Text5", twips(6720, 360, 2535, 3255));
    for (QLabel* caption : {caption3, caption5}) {
        caption->setStyleSheet(QStringLiteral("color: white; background-color: #404040;"));
    }
    Command3 = button("Command3", QStringLiteral("Clear"), twips(3720, 3720, 1215, 495));
    ShowWK = check("ShowWK", QStringLiteral("Show Winkey"), twips(5040, 3720, 1335, 495));
    ShowWK->setToolTip(QStringLiteral("Show Data coming from the App going to Winkey"));
    Command5 = button("Command5", QStringLiteral("Clear"), twips(6720, 3720, 1215, 495));
    ShowEcho = check("ShowEcho", QStringLiteral("Show Echo"), twips(8040, 3720, 1335, 495));

    connect(Text4, &QLineEdit::editingFinished, this, &MainWindow::onSpeedEntered);
    connect(VScroll2, &QScrollBar::valueChanged, this, &MainWindow::onSpeedBarChanged);
    connect(Command2, &QPushButton::clicked, this, &QWidget::close);
    connect(Command4, &QPushButton::clicked, this, [this] { session_->test(); });
    connect(Command3, &QPushButton::clicked, this, [this] {
        Text3->clear();
        focusAtEnd(Text3);
    });
    connect(Command5, &QPushButton::clicked, this, [this] {
        Text5->clear();
        focusAtEnd(Text5);
    });
    Text3->installEventFilter(this);
    Text5->installEventFilter(this);

    // The left panel always shows whole, below the menu bar, whatever the menu bar's height.
    surface->setMinimumSize(kPanelWidth, kPanelHeight);
    surface->installEventFilter(this);
    trafficPanel_ = {caption3, Text3, caption5, Text5, Command3, ShowWK, Command5, ShowEcho};
}

void MainWindow::buildMenus() {
    // Alt and the underlined letter open each menu item; Ctrl+Q ends the program.
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("File"));
    QAction* exit = file->addAction(QStringLiteral("E&xit"));
    exit->setObjectName(QStringLiteral("Exit"));
    exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(exit, &QAction::triggered, this, &QWidget::close);

    const auto item = [this](const char* name, const QString& caption) {
        QAction* action = menuBar()->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };
    connect(item("Dev", QStringLiteral("S&ound")), &QAction::triggered, this,
            &MainWindow::openDevices);
    Xmt = item("Xmt", QStringLiteral("&Show"));
    connect(Xmt, &QAction::triggered, this, &MainWindow::toggleTrafficPanes);
    connect(item("About", QStringLiteral("&About")), &QAction::triggered, this,
            &MainWindow::openAbout);
    connect(item("Help", QStringLiteral("&Help")), &QAction::triggered, this,
            &MainWindow::showHelp);
}

void MainWindow::setTabOrder() {
    const QWidget* order[] = {Text1,    Text2,    Command1, Command2, VScroll2, VScroll1,
                              Text3,    Text5,    Text4,    Command3, Text6,    Command4,
                              VScroll3, Command5, ShowWK,   ShowEcho};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
        QWidget::setTabOrder(const_cast<QWidget*>(order[i]), const_cast<QWidget*>(order[i + 1]));
    }
}

}  // namespace shell
