#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTest>
#include <QWheelEvent>

#include <memory>

#include "devices/devices_window.h"
#include "shell/main_window.h"
#include "shell/radio_choice.h"
#include "support/event_loop.h"
#include "support/fake_serial_port.h"
#include "support/recording_message_boxes.h"
#include "support/working_folder.h"

namespace {

class MainWindowTest : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }
    void TearDown() override { window.reset(); }

    shell::MainWindow& open() {
        window = std::make_unique<shell::MainWindow>(
            shell::MainWindowParts{applicationPort, keyerPort, messages});
        window->show();
        return *window;
    }
    template <typename T>
    T* control(const char* name) {
        T* found = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QAction* menu(const char* name) { return control<QAction>(name); }
    void writeSettings(const QString& name, const QByteArray& bytes) {
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray readSettings(const QString& name = QStringLiteral("VanTrel.ini")) {
        QFile file(folder.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void connectPorts() {
        QTest::mouseClick(control<QPushButton>("Command1"), Qt::LeftButton);
        keyerPort.writes.clear();
    }
    // Walks the focus chain with Tab from the first port field, once round.
    QStringList tabRound() {
        window->activateWindow();
        EXPECT_TRUE(waitUntil([&] { return QApplication::activeWindow() == window.get(); }));
        control<QWidget>("Text1")->setFocus();
        QStringList visited{window->focusWidget()->objectName()};
        for (int i = 0; i < 20; ++i) {
            QTest::keyClick(window->windowHandle(), Qt::Key_Tab);
            if (window->focusWidget()->objectName() == visited.front()) {
                break;
            }
            visited << window->focusWidget()->objectName();
        }
        return visited;
    }
    // A key as the keyboard delivers it, with its text, pressed and released in `target`.
    static void press(QWidget* target, Qt::Key key, Qt::KeyboardModifiers modifiers,
                      const QString& text) {
        QKeyEvent down(QEvent::KeyPress, key, modifiers, text);
        QApplication::sendEvent(target, &down);
        QKeyEvent up(QEvent::KeyRelease, key, modifiers, text);
        QApplication::sendEvent(target, &up);
    }

    WorkingFolder folder;
    FakeSerialPort applicationPort;
    FakeSerialPort keyerPort;
    RecordingMessageBoxes messages;
    std::unique_ptr<shell::MainWindow> window;
};

QByteArray encodeRadioChoiceForTest(const settings::RadioChoice& choice) {
    return QByteArray::fromStdString(settings::encodeRadioChoice(choice));
}

QString withoutMnemonic(QString text) {
    return text.remove(QLatin1Char('&'));
}

TEST_F(MainWindowTest, HasEveryControlWithItsCaptionAndRange) {
    open();
    EXPECT_EQ(window->windowTitle(), "Van Trel");
    EXPECT_EQ(window->objectName(), "VanTrel");
    const std::pair<const char*, const char*> labels[] = {
        {"Label2", "Virtual     Port"},
        {"Label3", "Winkey       Port"},
        {"Label5", "Latency             MS"},
        {"Label4", "Volume   Pitch"},
        {"Label12", "To Xmt Type Here      <---Enter key--->"},
        {"Label13", "Type Rcvd Code Here"},
        {"Label1", "C"},
        {"Label6", "W"},
        {"Label7", "S"},
        {"Label8", "p"},
        {"Label9", "e"},
        {"Label10", "e"},
        {"Label11", "d"}};
    for (const auto& [name, caption] : labels) {
        EXPECT_EQ(control<QLabel>(name)->text(), caption) << name;
    }
    const std::pair<const char*, const char*> fields[] = {
        {"Text1", "1"}, {"Text2", "2"}, {"Text6", "2"}, {"Text4", "28"}};
    for (const auto& [name, text] : fields) {
        EXPECT_EQ(control<QLineEdit>(name)->text(), text) << name;
    }
    const std::pair<const char*, const char*> buttons[] = {{"Command1", "Connect"},
                                                           {"Command4", "Test"},
                                                           {"Command2", "Close"},
                                                           {"Command3", "Clear"},
                                                           {"Command5", "Clear"}};
    for (const auto& [name, caption] : buttons) {
        EXPECT_EQ(control<QPushButton>(name)->text(), caption) << name;
    }
    EXPECT_EQ(control<QCheckBox>("ShowWK")->text(), "Show Winkey");
    EXPECT_EQ(control<QCheckBox>("ShowEcho")->text(), "Show Echo");
    EXPECT_FALSE(control<QCheckBox>("ShowWK")->isChecked());
    EXPECT_TRUE(control<QWidget>("Shape1")->isHidden());
    EXPECT_TRUE(control<QWidget>("Shape2")->isHidden());

    // Scroll bars: value, bottom, top (the top shows the highest value), and the value in the
    // operator's unit as the tooltip.
    struct Bar {
        const char* name;
        int value, bottom, top;
        const char* tip;
    };
    for (const Bar& b : {Bar{"VScroll1", -2000, -3000, 0, "Volume: -20 dB"},
                         Bar{"VScroll2", 28, 5, 50, "Speed: 28 wpm"},
                         Bar{"VScroll3", 6000, 3000, 8000, "Pitch: 600 Hz"}}) {
        auto* bar = control<QScrollBar>(b.name);
        EXPECT_EQ(bar->value(), b.value) << b.name;
        EXPECT_EQ(bar->minimum(), b.bottom) << b.name;
        EXPECT_EQ(bar->maximum(), b.top) << b.name;
        EXPECT_TRUE(bar->invertedAppearance()) << b.name;
        EXPECT_EQ(bar->toolTip(), b.tip) << b.name;
    }
    // Positions are the design's twips over 15.
    EXPECT_EQ(control<QWidget>("Text3")->geometry(), QRect(248, 24, 169, 217));
    EXPECT_EQ(control<QWidget>("Command2")->geometry(), QRect(152, 248, 65, 33));

    QStringList menus;
    for (QAction* action : window->menuBar()->actions()) {
        menus << withoutMnemonic(action->text());
    }
    EXPECT_EQ(menus, (QStringList{"File", "Sound", "Show", "About", "Help"}));
    EXPECT_EQ(control<QLineEdit>("Text6")->toolTip(),
              "Enter the latency (Delay time in ms) that your WIFI has.");
}

// Every arrow, trough click, key and wheel turn moves a bar the way it is drawn: up is higher.
TEST_F(MainWindowTest, BarsMoveTheWayTheyAreDrawn) {
    open();
    connectPorts();
    enum Way {
        TopArrow,
        BottomArrow,
        TroughAbove,
        TroughBelow,
        KeyUp,
        KeyDown,
        Home,
        End,
        WheelUp
    };
    struct Step {
        Way way;
        int change;  // from the middle value; Home and End: to the top or bottom
    };
    const Step steps[] = {{TopArrow, +1},    {BottomArrow, -1}, {TroughAbove, +1},
                          {TroughBelow, -1}, {KeyUp, +1},       {KeyDown, -1},
                          {Home, 0},         {End, 0},          {WheelUp, +1}};
    struct Bar {
        const char* name;
        int middle;
        const char* tipAbove;  // the tooltip one step above the middle
    };
    for (const Bar& b :
         {Bar{"VScroll1", -1500, "Volume: -14.99 dB"}, Bar{"VScroll2", 28, "Speed: 29 wpm"},
          Bar{"VScroll3", 5500, "Pitch: 550.1 Hz"}}) {
        auto* bar = control<QScrollBar>(b.name);
        const int arrow = bar->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, bar);
        const int x = bar->width() / 2;
        for (const Step& step : steps) {
            bar->setValue(b.middle);
            keyerPort.writes.clear();
            switch (step.way) {
                case TopArrow:
                    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(x, arrow / 2));
                    break;
                case BottomArrow:
                    QTest::mouseClick(bar, Qt::LeftButton, {},
                                      QPoint(x, bar->height() - arrow / 2));
                    break;
                case TroughAbove:
                    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(x, arrow + 2));
                    break;
                case TroughBelow:
                    QTest::mouseClick(bar, Qt::LeftButton, {},
                                      QPoint(x, bar->height() - arrow - 3));
                    break;
                case KeyUp:
                    QTest::keyClick(bar, Qt::Key_Up);
                    break;
                case KeyDown:
                    QTest::keyClick(bar, Qt::Key_Down);
                    break;
                case Home:
                    QTest::keyClick(bar, Qt::Key_Home);
                    break;
                case End:
                    QTest::keyClick(bar, Qt::Key_End);
                    break;
                case WheelUp: {
                    const QPointF at(x, bar->height() / 2);
                    QWheelEvent wheel(at, bar->mapToGlobal(at), QPoint(), QPoint(0, 120),
                                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
                    QApplication::sendEvent(bar, &wheel);
                    break;
                }
            }
            const int wanted = step.way == Home  ? bar->maximum()
                               : step.way == End ? bar->minimum()
                                                 : b.middle + step.change;
            EXPECT_EQ(bar->value(), wanted) << b.name << " way " << step.way;
            if (step.change > 0) {
                EXPECT_EQ(bar->toolTip(), b.tipAbove) << b.name << " way " << step.way;
            }
            if (bar->objectName() == "VScroll2") {
                // Each settled speed goes to the keyer once.
                const QByteArray command("\x02", 1);
                EXPECT_EQ(keyerPort.written(), command + static_cast<char>(wanted))
                    << "way " << step.way;
            }
        }
    }
}

TEST_F(MainWindowTest, DraggingTheSpeedSendsOnlyWhereItIsLetGo) {
    open();
    connectPorts();
    auto* bar = control<QScrollBar>("VScroll2");
    bar->setSliderDown(true);  // the thumb held, as a mouse press on it does
    for (int speed = 29; speed <= 40; ++speed) {
        bar->setSliderPosition(speed);
    }
    EXPECT_TRUE(keyerPort.writes.empty());
    EXPECT_EQ(bar->toolTip(), "Speed: 40 wpm");  // the tooltip follows the thumb
    bar->setSliderDown(false);
    EXPECT_EQ(keyerPort.written(), QByteArray("\x02\x28", 2));
    EXPECT_EQ(control<QLineEdit>("Text4")->text(), "40");
}

// Tab reaches only what the window shows: the traffic panes only while they are in view.
TEST_F(MainWindowTest, TabGoesRoundWhatIsShownInOrder) {
    open();
    EXPECT_EQ(tabRound(), (QStringList{"Text1", "Text2", "Command1", "Command2", "VScroll2",
                                       "VScroll1", "Text4", "Text6", "Command4", "VScroll3"}));
    menu("Xmt")->trigger();
    EXPECT_EQ(tabRound(), (QStringList{"Text1", "Text2", "Command1", "Command2", "VScroll2",
                                       "VScroll1", "Text3", "Text5", "Text4", "Command3", "Text6",
                                       "Command4", "VScroll3", "Command5", "ShowWK", "ShowEcho"}));
    // Narrowed again while the typing pane has the focus: the focus leaves it.
    control<QWidget>("Text3")->setFocus();
    menu("Xmt")->trigger();
    EXPECT_FALSE(control<QWidget>("Text3")->hasFocus());
    EXPECT_TRUE(control<QWidget>("Text3")->isHidden());
}

TEST_F(MainWindowTest, MenusAnswerTheKeyboard) {
    open();
    window->activateWindow();
    ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == window.get(); }));
    QTest::keyClick(window->windowHandle(), Qt::Key_S, Qt::AltModifier);
    EXPECT_EQ(withoutMnemonic(menu("Xmt")->text()), "Hide");
    QTest::keyClick(window->windowHandle(), Qt::Key_H, Qt::AltModifier);
    EXPECT_EQ(messages.shown.size(), 1u);  // Help
    QTest::keyClick(window->windowHandle(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(window->isVisible());  // Exit
}

// Nothing is cut off: the left panel shows whole in both layouts, and Hide returns to the
// width the window started with.
TEST_F(MainWindowTest, ShowHideWidensAndNarrowsWithoutCuttingAnythingOff) {
    open();
    QWidget* inside = window->centralWidget();
    QAction* xmt = menu("Xmt");
    const auto everythingShownFits = [&] {
        for (QWidget* child : inside->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (!child->isHidden() && !inside->rect().contains(child->geometry())) {
                return child->objectName().toStdString();
            }
        }
        return std::string();
    };
    EXPECT_EQ(window->width(), 225);
    EXPECT_GE(inside->height(), 292);
    EXPECT_EQ(everythingShownFits(), "");
    EXPECT_TRUE(control<QWidget>("Text3")->isHidden());
    EXPECT_EQ(withoutMnemonic(xmt->text()), "Show");

    xmt->trigger();
    EXPECT_EQ(window->width(), 631);  // 9855 twips outside, less the design's frame
    EXPECT_EQ(withoutMnemonic(xmt->text()), "Hide");
    EXPECT_EQ(everythingShownFits(), "");
    for (const char* name : {"Text3", "Text5", "Command3", "Command5", "ShowWK", "ShowEcho"}) {
        EXPECT_FALSE(control<QWidget>(name)->isHidden()) << name;
    }
    xmt->trigger();
    EXPECT_EQ(window->width(), 225);
    EXPECT_EQ(withoutMnemonic(xmt->text()), "Show");
    EXPECT_TRUE(control<QWidget>("ShowEcho")->isHidden());

    window->resize(500, window->height());  // dragged by the operator: part of it shows
    EXPECT_FALSE(control<QWidget>("Text3")->isHidden());
    EXPECT_TRUE(control<QWidget>("Text5")->isHidden());
    xmt->trigger();
    EXPECT_EQ(window->width(), 631);
}

// The speed field takes a number as it is typed and sends nothing until it is entered (Enter,
// or the focus leaving it); then the number is limited to 5..50, shown, put on the bar and sent
// to the keyer with the keyer port open.
TEST_F(MainWindowTest, SpeedFieldIsLimitedAndSentWhenEntered) {
    open();
    window->activateWindow();
    ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == window.get(); }));
    auto* speed = control<QLineEdit>("Text4");
    auto* bar = control<QScrollBar>("VScroll2");
    const auto type = [&](const QString& typed) {
        speed->setFocus();
        speed->selectAll();
        QTest::keyClick(speed, Qt::Key_Backspace);
        QTest::keyClicks(speed, typed);
    };
    type(QStringLiteral("30"));
    QTest::keyClick(speed, Qt::Key_Return);
    EXPECT_EQ(bar->value(), 30);
    EXPECT_TRUE(keyerPort.writes.empty());  // closed: nothing, and no message
    EXPECT_TRUE(messages.shown.empty());

    connectPorts();
    struct Case {
        const char* typed;
        const char* shown;
        QByteArray sent;
    };
    for (const Case& c :
         {Case{"30", "30", QByteArray("\x02\x1E", 2)}, Case{"", "5", QByteArray("\x02\x05", 2)},
          Case{"3", "5", QByteArray("\x02\x05", 2)}, Case{"300", "50", QByteArray("\x02\x32", 2)},
          Case{"abc", "5", QByteArray("\x02\x05", 2)}, Case{"-7", "5", QByteArray("\x02\x05", 2)},
          Case{"27.5", "28", QByteArray("\x02\x1C", 2)},
          Case{"99999999999", "50", QByteArray("\x02\x32", 2)}}) {
        type(QStringLiteral("12"));
        QTest::keyClick(speed, Qt::Key_Return);
        keyerPort.writes.clear();
        type(QString::fromLatin1(c.typed));
        EXPECT_EQ(speed->text(), QString::fromLatin1(c.typed)) << "as typed: " << c.typed;
        EXPECT_TRUE(keyerPort.writes.empty()) << "while typed: " << c.typed;
        QTest::keyClick(speed, Qt::Key_Return);
        EXPECT_EQ(speed->text(), c.shown) << c.typed;
        EXPECT_EQ(bar->value(), speed->text().toInt()) << c.typed;
        EXPECT_EQ(keyerPort.written().toHex(), c.sent.toHex()) << c.typed;
    }
    // The focus leaving the field enters it too.
    type(QStringLiteral("42"));
    keyerPort.writes.clear();
    control<QWidget>("Text6")->setFocus();
    EXPECT_EQ(keyerPort.written(), QByteArray("\x02\x2A", 2));

    keyerPort.writes.clear();
    bar->setValue(50);
    EXPECT_EQ(speed->text(), "50");
    EXPECT_EQ(keyerPort.written(), QByteArray("\x02\x32", 2));
    EXPECT_TRUE(applicationPort.writes.empty());
}

// Printable characters (in upper case), Backspace and Esc reach the keyer; shortcuts, Delete
// and the navigation keys do not.
TEST_F(MainWindowTest, TypingPaneSendsOnlyTextBackspaceAndEsc) {
    open();
    control<QLineEdit>("Text6")->setText("10000");  // the monitor holds what it hears
    connectPorts();
    menu("Xmt")->trigger();
    auto* typing = control<QPlainTextEdit>("Text3");
    typing->setFocus();
    struct Key {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        QString text;
        QByteArray sent;
    };
    const Key keys[] = {
        {Qt::Key_A, {}, "a", "A"},
        {Qt::Key_A, Qt::ShiftModifier, "A", "A"},
        {Qt::Key_5, {}, "5", "5"},
        {Qt::Key_Space, {}, " ", " "},
        {Qt::Key_Question, Qt::ShiftModifier, "?", "?"},
        {Qt::Key_Eacute, {}, QString(QChar(0xE9)), "\xC9"},
        {Qt::Key_Escape, {}, "\x1B", "\x0A"},
        {Qt::Key_Backspace, {}, "\x08", "\x08"},
        {Qt::Key_At, Qt::ControlModifier | Qt::AltModifier, "@", "@"},  // AltGr on Windows
        {Qt::Key_C, Qt::ControlModifier, "\x03", ""},
        {Qt::Key_C, Qt::ControlModifier, "c", ""},
        {Qt::Key_A, Qt::ControlModifier, "\x01", ""},
        {Qt::Key_V, Qt::ControlModifier, "\x16", ""},
        {Qt::Key_Q, Qt::AltModifier, "q", ""},
        {Qt::Key_Backspace, Qt::ControlModifier, "\x08", ""},
        {Qt::Key_Delete, {}, "\x7F", ""},
        {Qt::Key_Left, {}, "", ""},
        {Qt::Key_Home, {}, "", ""},
        {Qt::Key_PageDown, {}, "", ""},
        {Qt::Key_F1, {}, "", ""},
        {Qt::Key_Tab, {}, "\t", ""},
    };
    for (const Key& k : keys) {
        keyerPort.writes.clear();
        press(typing, k.key, k.modifiers, k.text);
        const std::vector<QByteArray> wanted =
            k.sent.isEmpty() ? std::vector<QByteArray>{} : std::vector<QByteArray>{k.sent};
        EXPECT_EQ(keyerPort.writes, wanted) << k.key << " " << k.text.toStdString();
    }
    EXPECT_TRUE(applicationPort.writes.empty());
}

// Typed letters reach the monitor as they reach the keyer; a backspace takes back the one still
// waiting behind another, as the keyer does.
TEST_F(MainWindowTest, TypedLettersReachTheMonitorAndBackspaceTakesBackAWaitingOne) {
    open();
    control<QLineEdit>("Text6")->setText("10000");  // the monitor holds what it hears
    connectPorts();
    menu("Xmt")->trigger();
    auto* typing = control<QPlainTextEdit>("Text3");
    typing->setFocus();

    QTest::keyClick(typing, Qt::Key_Escape);
    QTest::keyClick(typing, 'e');
    QTest::keyClick(typing, 'a');
    // Typed letters reach the monitor as they reach the keyer; a backspace takes back the one
    // still waiting behind the E.
    EXPECT_EQ(window->monitorQueue(), "EA");
    QTest::keyClick(typing, Qt::Key_Backspace);
    EXPECT_EQ(window->monitorQueue(), "E");
    ASSERT_EQ(keyerPort.writes.size(), 4u);
    EXPECT_EQ(keyerPort.writes[0], QByteArray("\x0A", 1));
    EXPECT_EQ(keyerPort.writes[1], QByteArray("E"));
    EXPECT_EQ(keyerPort.writes[2], QByteArray("A"));
    EXPECT_EQ(keyerPort.writes[3], QByteArray("\x08", 1));
}

TEST_F(MainWindowTest, EnterMovesBetweenThePanesAndSendsNothing) {
    open();
    connectPorts();
    menu("Xmt")->trigger();
    auto* typing = control<QPlainTextEdit>("Text3");
    typing->setFocus();
    QTest::keyClick(typing, Qt::Key_Return);
    EXPECT_TRUE(keyerPort.writes.empty());
    EXPECT_EQ(window->focusWidget(), control<QWidget>("Text5"));
    QTest::keyClick(control<QPlainTextEdit>("Text5"), Qt::Key_Return);
    EXPECT_EQ(window->focusWidget(), typing);
}

TEST_F(MainWindowTest, TypedKeysGoNowhereWithTheKeyerPortClosed) {
    open();
    QTest::keyClick(control<QPlainTextEdit>("Text3"), 'e');
    EXPECT_TRUE(keyerPort.writes.empty());
    EXPECT_EQ(window->monitorQueue(), "");
}

TEST_F(MainWindowTest, TestButtonReplacesTheQueueAndWritesNothing) {
    open();
    control<QLineEdit>("Text6")->setText("10000");
    connectPorts();
    menu("Xmt")->trigger();
    QTest::keyClick(control<QPlainTextEdit>("Text3"), 'e');
    ASSERT_EQ(window->monitorQueue(), "E");
    keyerPort.writes.clear();
    QTest::mouseClick(control<QPushButton>("Command4"), Qt::LeftButton);
    EXPECT_EQ(window->monitorQueue(), "TEST");
    EXPECT_TRUE(keyerPort.writes.empty());
    EXPECT_TRUE(applicationPort.writes.empty());
}

TEST_F(MainWindowTest, ClearEmptiesItsPaneAndPutsTheCaretThere) {
    open();
    menu("Xmt")->trigger();
    for (const auto& [button, name] : {std::pair{"Command3", "Text3"}, {"Command5", "Text5"}}) {
        auto* pane = control<QPlainTextEdit>(name);
        pane->setPlainText(QStringLiteral("CQ TEST"));
        control<QWidget>("Text1")->setFocus();
        QTest::mouseClick(control<QPushButton>(button), Qt::LeftButton);
        EXPECT_EQ(pane->toPlainText(), "") << button;
        EXPECT_EQ(window->focusWidget(), pane) << button;
    }
}

// The caption of Connect follows the lights, and both sides are connected or neither.
TEST_F(MainWindowTest, ConnectCaptionFollowsTheLights) {
    struct Case {
        bool applicationFails, keyerFails;
        const char* caption;
    };
    for (const Case& c : {Case{false, false, "Disconnect"}, Case{true, false, "Connect"},
                          Case{false, true, "Connect"}, Case{true, true, "Connect"}}) {
        applicationPort.refuseOpen = c.applicationFails;
        keyerPort.refuseOpen = c.keyerFails;
        open();
        connectPorts();
        EXPECT_EQ(control<QPushButton>("Command1")->text(), c.caption)
            << c.applicationFails << c.keyerFails;
        const bool both = !c.applicationFails && !c.keyerFails;
        EXPECT_EQ(!control<QWidget>("Shape1")->isHidden(), both);
        EXPECT_EQ(!control<QWidget>("Shape2")->isHidden(), both);
        window.reset();
        applicationPort.close();
        keyerPort.close();
    }
    // A port lost while connected puts both lights out, and the caption follows.
    applicationPort.refuseOpen = keyerPort.refuseOpen = false;
    open();
    connectPorts();
    keyerPort.close();
    emit keyerPort.failed(QStringLiteral("Input/output error"));
    EXPECT_TRUE(control<QWidget>("Shape1")->isHidden());
    EXPECT_TRUE(control<QWidget>("Shape2")->isHidden());
    EXPECT_FALSE(applicationPort.isOpen());
    EXPECT_EQ(control<QPushButton>("Command1")->text(), "Connect");
}

TEST_F(MainWindowTest, ClosingAnyWaySavesTheSettings) {
    const QByteArray design("1\r\n2\r\n-2000 \r\n 28 \r\n2\r\n 0 \r\n 6000 \r\n");
    for (int way = 0; way < 3; ++way) {
        QFile::remove(folder.filePath("VanTrel.ini"));
        open();
        if (way == 0) {
            QTest::mouseClick(control<QPushButton>("Command2"), Qt::LeftButton);
        } else if (way == 1) {
            window->findChild<QAction*>(QStringLiteral("Exit"))->trigger();
        } else {
            window->close();  // the close box
        }
        EXPECT_EQ(readSettings(), design) << "way " << way;
        window.reset();
    }
}

TEST_F(MainWindowTest, LoadsTheSettingsUnderAnySpellingAndSavesThemBack) {
    writeSettings("vantrel.ini", " 16\r\n17\r\n-1000 \r\n 40 \r\n3\r\n 0 \r\n 7000 \r\n");
    open();
    EXPECT_EQ(control<QLineEdit>("Text1")->text(), " 16");
    EXPECT_EQ(control<QScrollBar>("VScroll1")->value(), -1000);
    EXPECT_EQ(control<QLineEdit>("Text4")->text(), "40");
    EXPECT_EQ(control<QLineEdit>("Text6")->text(), "3");
    EXPECT_EQ(control<QScrollBar>("VScroll3")->value(), 7000);
    window->close();
    // Saved into the same file, not beside it.
    EXPECT_EQ(QDir(folder.path()).entryList({"*.ini"}, QDir::Files), QStringList{"vantrel.ini"});
    EXPECT_EQ(readSettings("vantrel.ini"), " 16\r\n17\r\n-1000 \r\n 40 \r\n3\r\n 0 \r\n 7000 \r\n");
}

TEST_F(MainWindowTest, BadSettingsLeaveDesignValuesAndNeverCrash) {
    writeSettings("VanTrel.ini", "5\r\n6\r\n-100 \r\n 60 \r\n9\r\n");
    open();
    EXPECT_EQ(control<QLineEdit>("Text2")->text(), "6");
    EXPECT_EQ(control<QScrollBar>("VScroll1")->value(), -100);
    EXPECT_EQ(control<QScrollBar>("VScroll2")->value(), 28);
    EXPECT_EQ(control<QLineEdit>("Text6")->text(), "2");
    window.reset();

    QByteArray binary;
    for (int i = 0; i < 4096; ++i) {
        binary += static_cast<char>((i * 7919) & 0xFF);
    }
    writeSettings("VanTrel.ini", binary);
    open();
    window.reset();
    writeSettings("VanTrel.ini", QByteArray(1 << 20, '9') + "\r\n");
    open();
    EXPECT_EQ(control<QScrollBar>("VScroll2")->value(), 28);
}

TEST_F(MainWindowTest, AFailedSaveStillClosesAndSaysWhy) {
    // A folder where the file should be: it cannot be written.
    QDir(folder.path()).mkdir(QStringLiteral("VanTrel.ini"));
    open();
    EXPECT_TRUE(window->close());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.startsWith("The settings could not be saved"));
}

TEST_F(MainWindowTest, HelpShowsTheThreeParagraphs) {
    open();
    window->findChild<QAction*>(QStringLiteral("Help"))->trigger();
    ASSERT_EQ(messages.shown.size(), 1u);
    const QStringList paragraphs = messages.shown[0].text.split(QStringLiteral("\r\n"));
    ASSERT_EQ(paragraphs.size(), 3);
    EXPECT_TRUE(paragraphs[0].startsWith("First create a Com Port virtual pair."));
    EXPECT_TRUE(paragraphs[0].endsWith("next to the port designations. "));
    EXPECT_TRUE(paragraphs[1].endsWith("(SmartSDR) is initialized. "));
    EXPECT_EQ(paragraphs[2],
              "TRICK: To force N1MM to init Winkey touch Control K and send a character.");
}

TEST_F(MainWindowTest, TheLoggersSpeedMovesTheBarWithoutACopyAndTheOperatorsSendsOne) {
    open();
    control<QLineEdit>("Text6")->setText("10000");
    auto* bar = control<QScrollBar>("VScroll2");
    bar->setValue(20);  // before connecting: nothing is sent
    connectPorts();
    control<QCheckBox>("ShowWK")->setChecked(true);
    applicationPort.deliver(QByteArray("\x02\x1C\x48\x49", 4));
    ASSERT_TRUE(waitUntil([&] { return !keyerPort.writes.empty(); }));
    EXPECT_EQ(window->monitorQueue(), "HI");
    runEvents(100);
    // The logger's bytes and nothing of ours: the keyer has that speed already.
    EXPECT_EQ(keyerPort.written(), QByteArray("\x02\x1C\x48\x49", 4));
    EXPECT_EQ(bar->value(), 28);
    EXPECT_EQ(control<QLineEdit>("Text4")->text(), "28");
    EXPECT_EQ(control<QPlainTextEdit>("Text3")->toPlainText(), "HI");

    // The operator moves the bar one step: one speed command, which is ours, not traffic.
    bar->setValue(39);
    keyerPort.writes.clear();
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    runEvents(100);
    ASSERT_EQ(keyerPort.writes.size(), 1u);
    EXPECT_EQ(keyerPort.writes[0], QByteArray("\x02\x28", 2));
    EXPECT_EQ(control<QPlainTextEdit>("Text3")->toPlainText(), "HI");
}

// The transmit pane shows what the logger sends, whether or not the keyer port is open, and
// never the operator's own keys a second time.
TEST_F(MainWindowTest, TransmitPaneShowsTheLoggersBytesOnly) {
    keyerPort.refuseOpen = true;
    open();
    menu("Xmt")->trigger();
    connectPorts();
    control<QCheckBox>("ShowWK")->setChecked(true);
    auto* pane = control<QPlainTextEdit>("Text3");
    applicationPort.deliver(QByteArray("CQ"));
    ASSERT_TRUE(waitUntil([&] { return !pane->toPlainText().isEmpty(); }));
    EXPECT_EQ(pane->toPlainText(), "CQ");

    window.reset();
    keyerPort.refuseOpen = false;
    open();
    menu("Xmt")->trigger();
    connectPorts();
    control<QCheckBox>("ShowWK")->setChecked(true);
    pane = control<QPlainTextEdit>("Text3");
    pane->setFocus();
    QTest::keyClick(pane, 'a');
    EXPECT_EQ(keyerPort.written(), "A");
    EXPECT_EQ(pane->toPlainText(), "a");  // the pane's own editing only
}

TEST_F(MainWindowTest, PanesAreCutBackPast200Characters) {
    open();
    connectPorts();
    control<QCheckBox>("ShowEcho")->setChecked(true);
    auto* echo = control<QPlainTextEdit>("Text5");
    echo->setPlainText(QString(200, QLatin1Char('x')).replace(99, 1, QLatin1Char('y')));
    keyerPort.deliver(QByteArray("Z"));
    // 201 characters are cut to characters 100 to 201.
    EXPECT_EQ(echo->toPlainText().size(), 102);
    EXPECT_TRUE(echo->toPlainText().startsWith('y'));
    EXPECT_TRUE(echo->toPlainText().endsWith('Z'));
    EXPECT_EQ(applicationPort.written(), QByteArray("Z"));
}

}  // namespace

namespace {

// A sound output with no devices at all, as on a machine without a sound server.
class NoSoundOutput final : public platform::AudioOutput {
  public:
    QStringList deviceDescriptions() const override { return {}; }
    void play(int, platform::SampleSource*) override {}
    bool isPlaying() const override { return false; }
    void wake() override {}
};

// Test tells why the sidetone cannot be heard, in a message, once for the same reason.
TEST_F(MainWindowTest, TestSaysOnceWhyNothingCanBeHeard) {
    writeSettings(QStringLiteral("cw.wav"), "a tone file");  // without one, silence is meant
    window = std::make_unique<shell::MainWindow>(shell::MainWindowParts{
        applicationPort, keyerPort, messages, std::make_unique<NoSoundOutput>()});
    window->show();
    auto* test = control<QPushButton>("Command4");
    QTest::mouseClick(test, Qt::LeftButton);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.startsWith("No sound output was found"))
        << messages.shown[0].text.toStdString();
    QTest::mouseClick(test, Qt::LeftButton);
    EXPECT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(window->monitorQueue(), "TEST");  // it still plays, for when sound comes back
}

// Sound brings the open Devices window forward as it is: a choice not yet applied stays.
TEST_F(MainWindowTest, SoundBringsTheOpenDevicesWindowForward) {
    open();
    menu("Dev")->trigger();
    auto* devices = window->findChild<devices::DevicesWindow*>();
    ASSERT_NE(devices, nullptr);
    auto* list = devices->findChild<QComboBox*>(QStringLiteral("Combo1"));
    ASSERT_NE(list, nullptr);
    list->setEditText(QStringLiteral("chosen, not applied"));
    devices->lower();
    menu("Dev")->trigger();
    EXPECT_EQ(window->findChildren<devices::DevicesWindow*>().size(), 1);
    EXPECT_EQ(window->findChild<devices::DevicesWindow*>(), devices);
    EXPECT_TRUE(devices->isVisible());
    EXPECT_EQ(list->currentText(), "chosen, not applied");
}

// The radio's input is kept in a file of its own; the settings file stays as other tools read it.
TEST_F(MainWindowTest, TheRadioChoiceLivesInItsOwnFile) {
    const QByteArray settings("1\r\n2\r\n-2000 \r\n 28 \r\n2\r\n 0 \r\n 6000 \r\n");
    writeSettings(QStringLiteral("VanTrel.ini"), settings);
    writeSettings(QStringLiteral("VanTrelRadio.ini"), "input=rx.monitor\npitch=650\nfollow=1\n");
    open();
    menu("Dev")->trigger();
    auto* devices = window->findChild<devices::DevicesWindow*>();
    ASSERT_NE(devices, nullptr);
    auto* inputs = devices->findChild<QComboBox*>(QStringLiteral("Combo2"));
    EXPECT_EQ(inputs->currentText(), "rx.monitor (not found)");
    auto* status = devices->findChild<QLabel*>(QStringLiteral("Label4"));
    EXPECT_TRUE(status->text().contains("could not be opened")) << status->text().toStdString();

    inputs->setCurrentIndex(0);
    emit inputs->activated(0);  // none
    EXPECT_EQ(readSettings(QStringLiteral("VanTrelRadio.ini")),
              encodeRadioChoiceForTest({"", 650, true}));
    QTest::qWait(devices::DevicesWindow::kStatusEveryMs * 2);
    EXPECT_TRUE(status->text().contains("Radio audio: none chosen."))
        << status->text().toStdString();
    window->close();
    EXPECT_EQ(readSettings(), settings);
}

// The port fields show a whole "COM17": the text fits, so the field never scrolls it. Run at
// the scale QT_SCALE_FACTOR asks for (CTest runs it at 1 and at 2).
TEST_F(MainWindowTest, PortFieldsShowAWholeCom17) {
    open();
    const int scale = std::max(1, qEnvironmentVariableIntValue("QT_SCALE_FACTOR"));
    EXPECT_EQ(window->devicePixelRatio(), scale);
    for (const char* name : {"Text1", "Text2"}) {
        auto* field = control<QLineEdit>(name);
        field->setText(QStringLiteral("COM17"));
        field->setCursorPosition(5);  // without the focus: no caret drawn
        const QImage atEnd = field->grab().toImage();
        field->setCursorPosition(0);
        const QImage atStart = field->grab().toImage();
        EXPECT_TRUE(atEnd == atStart)
            << name << " scrolls at a scale of " << field->devicePixelRatio();
    }
}

}  // namespace
