#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include <memory>

#include "shell/main_window.h"
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

    WorkingFolder folder;
    FakeSerialPort applicationPort;
    FakeSerialPort keyerPort;
    RecordingMessageBoxes messages;
    std::unique_ptr<shell::MainWindow> window;
};

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

    // Scroll bars: value, bottom, top (the top shows the highest value).
    struct Bar {
        const char* name;
        int value, bottom, top;
    };
    for (const Bar& b : {Bar{"VScroll1", -2000, -3000, 0}, Bar{"VScroll2", 28, 5, 50},
                         Bar{"VScroll3", 6000, 3000, 8000}}) {
        auto* bar = control<QScrollBar>(b.name);
        EXPECT_EQ(bar->value(), b.value) << b.name;
        EXPECT_EQ(bar->minimum(), b.bottom) << b.name;
        EXPECT_EQ(bar->maximum(), b.top) << b.name;
        EXPECT_TRUE(bar->invertedAppearance()) << b.name;
    }
    // Positions are the design's twips over 15.
    EXPECT_EQ(control<QWidget>("Text3")->geometry(), QRect(248, 24, 169, 217));
    EXPECT_EQ(control<QWidget>("Command2")->geometry(), QRect(152, 248, 65, 33));

    QStringList menus;
    for (QAction* action : window->menuBar()->actions()) {
        menus << action->text();
    }
    EXPECT_EQ(menus, (QStringList{"File", "Sound", "Show", "About", "Help"}));
    EXPECT_EQ(control<QLineEdit>("Text6")->toolTip(),
              "Enter the latency (Delay time in ms) that your WIFI has.");
}

TEST_F(MainWindowTest, TabGoesRoundTheWindowInOrder) {
    open();
    window->activateWindow();
    ASSERT_TRUE(waitUntil([&] { return window->focusWidget() != nullptr; }));
    QStringList visited{window->focusWidget()->objectName()};
    for (int i = 0; i < 15; ++i) {
        QTest::keyClick(window->windowHandle(), Qt::Key_Tab);
        visited << window->focusWidget()->objectName();
    }
    EXPECT_EQ(visited, (QStringList{"Text1", "Text2", "Command1", "Command2", "VScroll2",
                                    "VScroll1", "Text3", "Text5", "Text4", "Command3", "Text6",
                                    "Command4", "VScroll3", "Command5", "ShowWK", "ShowEcho"}));
}

TEST_F(MainWindowTest, SpeedFieldSendsTheSpeedCommandOnlyWithTheKeyerPortOpen) {
    open();
    auto* speed = control<QLineEdit>("Text4");
    speed->setText(QStringLiteral("30"));
    EXPECT_TRUE(keyerPort.writes.empty());  // closed: nothing, and no message
    EXPECT_TRUE(messages.shown.empty());

    connectPorts();
    struct Case {
        const char* typed;
        const char* shown;
        QByteArray sent;
    };
    for (const Case& c :
         {Case{"", "5", QByteArray("\x02\x05", 2)}, Case{"300", "300", QByteArray("\x02\x2C", 2)},
          Case{"abc", "5", QByteArray("\x02\x05", 2)}, Case{"-7", "5", QByteArray("\x02\x05", 2)},
          Case{"27.5", "27.5", QByteArray("\x02\x1C", 2)},
          Case{"99999999999", "99999999999", QByteArray("\x02\xFF\xFF\xFF\x7F", 5)}}) {
        speed->setText(QStringLiteral("12"));
        keyerPort.writes.clear();
        speed->setText(QString::fromLatin1(c.typed));
        EXPECT_EQ(speed->text(), c.shown) << c.typed;
        EXPECT_EQ(keyerPort.written().toHex(), c.sent.toHex()) << c.typed;
    }

    keyerPort.writes.clear();
    control<QScrollBar>("VScroll2")->setValue(50);
    EXPECT_EQ(speed->text(), "50");
    EXPECT_EQ(keyerPort.written(), QByteArray("\x02\x32", 2));
    EXPECT_TRUE(applicationPort.writes.empty());
}

TEST_F(MainWindowTest, TypingPaneSendsEachKeyAsItsOwnChunk) {
    open();
    control<QLineEdit>("Text6")->setText("10000");  // the monitor holds what it hears
    connectPorts();
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
    EXPECT_TRUE(window->localTyping());

    keyerPort.writes.clear();
    QTest::keyClick(typing, Qt::Key_Return);
    EXPECT_TRUE(keyerPort.writes.empty());
    EXPECT_EQ(window->focusWidget(), control<QWidget>("Text5"));
    QTest::keyClick(control<QPlainTextEdit>("Text5"), Qt::Key_Return);
    EXPECT_EQ(window->focusWidget(), typing);
    EXPECT_TRUE(applicationPort.writes.empty());
}

TEST_F(MainWindowTest, TypedKeysGoNowhereWithTheKeyerPortClosed) {
    open();
    QTest::keyClick(control<QPlainTextEdit>("Text3"), 'e');
    EXPECT_TRUE(keyerPort.writes.empty());
    EXPECT_EQ(window->monitorQueue(), "");
}

TEST_F(MainWindowTest, ShowHideWidensAndNarrowsOnTheOuterWidth) {
    open();
    QAction* xmt = window->findChild<QAction*>(QStringLiteral("Xmt"));
    ASSERT_NE(xmt, nullptr);
    EXPECT_EQ(xmt->text(), "Show");
    xmt->trigger();
    EXPECT_EQ(window->frameGeometry().width(), 9855 / 15);
    EXPECT_EQ(xmt->text(), "Hide");
    xmt->trigger();
    EXPECT_EQ(window->frameGeometry().width(), 3755 / 15);
    EXPECT_EQ(xmt->text(), "Show");
    window->resize(7500 / 15, window->height());  // dragged by the operator
    xmt->trigger();
    EXPECT_EQ(window->frameGeometry().width(), 9855 / 15);
}

TEST_F(MainWindowTest, TestButtonReplacesTheQueueAndWritesNothing) {
    open();
    control<QLineEdit>("Text6")->setText("10000");
    QTest::mouseClick(control<QPushButton>("Command4"), Qt::LeftButton);
    EXPECT_EQ(window->monitorQueue(), "TEST");
    EXPECT_TRUE(keyerPort.writes.empty());
    EXPECT_TRUE(applicationPort.writes.empty());
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
