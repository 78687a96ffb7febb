// The bridge end to end: the real window, the real serial adapter, pseudo-terminals linked as
// COMn in a temporary working directory, the far ends played by the test.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

#include "bridge/port_naming.h"
#include "platform/qt_serial_port.h"
#include "pty_pair.h"
#include "shell/main_window.h"
#include "support/event_loop.h"
#include "support/recording_message_boxes.h"
#include "support/working_folder.h"

namespace {

const char* const kDialout =
    " and, on Linux, that your user is in the dialout group (sudo adduser $USER dialout, then "
    "log in again).";

class BridgeTest : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }
    void TearDown() override { window.reset(); }

    std::unique_ptr<PtyPair> link(int number) {
        auto pty = std::make_unique<PtyPair>(
            folder.filePath(QStringLiteral("COM%1").arg(number)).toStdString());
        EXPECT_TRUE(pty->ok()) << pty->error();
        return pty;
    }
    void open(const QString& applicationText = "16", const QString& keyerText = "17") {
        QFile settings(folder.filePath("VanTrel.ini"));
        settings.open(QIODevice::WriteOnly);
        settings.write((applicationText + "\r\n" + keyerText + "\r\n").toLatin1());
        settings.close();
        window = std::make_unique<shell::MainWindow>(
            shell::MainWindowParts{applicationPort, keyerPort, messages});
        window->show();
    }
    template <typename T>
    T* control(const char* name) {
        return window->findChild<T*>(QString::fromLatin1(name));
    }
    void clickConnect() { QTest::mouseClick(control<QPushButton>("Command1"), Qt::LeftButton); }
    bool lit(const char* light) { return !control<QWidget>(light)->isHidden(); }

    // Reads from a far end while the event loop runs, until `count` bytes came or time is up.
    static std::string collect(PtyPair& far, std::size_t count, int timeoutMs = 3000) {
        std::string got;
        waitUntil(
            [&] {
                got += far.readAvailable();
                return got.size() >= count;
            },
            timeoutMs);
        return got;
    }

    WorkingFolder folder;
    std::function<QString(int)> device = [](int n) { return bridge::devicePathForPort(n); };
    platform::QtSerialPort applicationPort{device};
    platform::QtSerialPort keyerPort{device};
    RecordingMessageBoxes messages;
    std::unique_ptr<shell::MainWindow> window;
};

TEST_F(BridgeTest, ConnectLightsBothAndWritesNothing) {
    auto logger = link(16);
    auto keyer = link(17);
    open();
    clickConnect();
    EXPECT_TRUE(lit("Shape1"));
    EXPECT_TRUE(lit("Shape2"));
    EXPECT_EQ(control<QPushButton>("Command1")->text(), "Disconnect");
    runEvents(100);
    EXPECT_EQ(logger->readAvailable(), "");
    EXPECT_EQ(keyer->readAvailable(), "");
    EXPECT_TRUE(messages.shown.empty());

    clickConnect();
    EXPECT_FALSE(lit("Shape1"));
    EXPECT_FALSE(lit("Shape2"));
    EXPECT_FALSE(applicationPort.isOpen());
    EXPECT_EQ(control<QPushButton>("Command1")->text(), "Connect");
}

// A port that cannot be opened is named with the file that was tried and what to do about it,
// after the serial layer's own words; the other side is tried, then closed again.
TEST_F(BridgeTest, AMissingPortTellsWhyAndLeavesNeitherSideOpen) {
    auto keyer = link(17);
    open(" 99 ", "17");
    clickConnect();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              "No such file or directory. Unable to connect to the input port COM99 (Virtual "
              "Port): there is no COM99 in " +
                  folder.path() +
                  ", the folder Vantrel was started from, so /dev/ttyS98 was tried. Make COM99 "
                  "there a link to the serial device or to one end of a virtual pair (for "
                  "example: ln -s /dev/ttyUSB0 COM99), check that the device exists" +
                  kDialout);
    // The side that opened is closed again: nothing is read that could not be passed on.
    EXPECT_FALSE(lit("Shape1"));
    EXPECT_FALSE(lit("Shape2"));
    EXPECT_FALSE(keyerPort.isOpen());
    EXPECT_EQ(control<QPushButton>("Command1")->text(), "Connect");

    // A link whose far end is gone: the link is what was tried.
    keyer->unplug();
    messages.shown.clear();
    control<QLineEdit>("Text1")->setText(QStringLiteral("17"));
    clickConnect();
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_TRUE(messages.shown[0].text.endsWith(
        ". Unable to connect to the input port COM17 (Virtual Port): tried " +
        folder.filePath("COM17") +
        ". Check that the device it leads to exists (the program that makes a virtual pair, "
        "such as socat, must still be running), that no other program has it open" +
        kDialout))
        << messages.shown[0].text.toStdString();
    EXPECT_EQ(control<QPushButton>("Command1")->text(), "Connect");  // no light shows
}

TEST_F(BridgeTest, PortFieldsAreReadAsNumbers) {
    auto logger = link(5);
    auto keyer = link(6);
    open(" 5 ", "COM 6");
    clickConnect();
    EXPECT_TRUE(lit("Shape1"));  // blanks around 5 are trimmed
    EXPECT_TRUE(lit("Shape2"));  // a leading COM is skipped
    EXPECT_TRUE(messages.shown.empty());
    clickConnect();

    control<QLineEdit>("Text2")->setText(QStringLiteral("Winkey"));
    clickConnect();
    EXPECT_FALSE(lit("Shape2"));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              "Invalid port number. Unable to connect to the output port (Winkey Port): "
              "\"Winkey\" is not a port number. Type the number n of the port COMn, for "
              "example 16.");
}

TEST_F(BridgeTest, EveryByteValuePassesBothWays) {
    auto logger = link(16);
    auto keyer = link(17);
    open();
    clickConnect();
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all += static_cast<char>(b);
    }
    keyer->writeAll(all);
    EXPECT_EQ(collect(*logger, 256), all);
    logger->writeAll(all);
    // Gathered at one byte per 10 ms: about 2.6 s.
    EXPECT_EQ(collect(*keyer, 256, 8000), all);
}

TEST_F(BridgeTest, ABurstReachesTheKeyerInOneWriteAfterItsPacing) {
    auto logger = link(16);
    auto keyer = link(17);
    open();
    clickConnect();
    QElapsedTimer clock;
    clock.start();
    logger->writeAll("CQ TEST");
    std::string first;
    ASSERT_TRUE(waitUntil([&] { return !(first = keyer->readAvailable()).empty(); }));
    const qint64 elapsed = clock.elapsed();
    // All seven bytes arrive together, after about seven 10 ms steps.
    EXPECT_EQ(first, "CQ TEST");
    EXPECT_GE(elapsed, 60);
    EXPECT_LT(elapsed, 1000);
}

// The operator types while the keyer answers: every byte of the keyer's reaches the logger, in
// order and at once, except its echoes of the typed characters.
TEST_F(BridgeTest, WhileTheOperatorTypesEveryKeyerByteButTheTypedEchoesReachesTheLogger) {
    auto logger = link(16);
    auto keyer = link(17);
    open();
    clickConnect();
    control<QCheckBox>("ShowEcho")->setChecked(true);
    logger->writeAll("CQ");
    EXPECT_EQ(collect(*keyer, 2), "CQ");
    QTest::keyClick(control<QPlainTextEdit>("Text3"), 'e');
    EXPECT_EQ(collect(*keyer, 1), "E");
    // Busy, the logger's C and Q keyed and echoed, then the typed E, idle, and an answer.
    keyer->writeAll(
        "\xC4"
        "CQ");
    EXPECT_EQ(collect(*logger, 3),
              "\xC4"
              "CQ");
    QTest::keyClick(control<QPlainTextEdit>("Text3"), 't');
    EXPECT_EQ(collect(*keyer, 1), "T");
    keyer->writeAll("E\xC0\x17");
    keyer->writeAll("T\xC4");
    EXPECT_EQ(collect(*logger, 3), "\xC0\x17\xC4");
    EXPECT_EQ(control<QPlainTextEdit>("Text5")->toPlainText(),
              QString::fromLatin1("\xC4"
                                  "CQ\xC0\x17\xC4"));
}

TEST_F(BridgeTest, WithTheKeyerPortMissingNothingIsReadAndNothingMoreSaid) {
    auto logger = link(16);
    open("16", "18");  // no COM18: the keyer side fails to open
    control<QLineEdit>("Text6")->setText("10000");
    clickConnect();
    messages.shown.clear();
    logger->writeAll("CQ");
    runEvents(200);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(window->monitorQueue(), "");
}

// A port that stops working is said once, and the other side is closed too: Connect opens both
// again in one click. What the application port had read still reaches the keyer.
TEST_F(BridgeTest, AnUnpluggedPortIsSaidOnceAndClosesBothSides) {
    for (const bool keyerSide : {true, false}) {
        SCOPED_TRACE(keyerSide ? "keyer unplugged" : "logger unplugged");
        auto logger = link(16);
        auto keyer = link(17);
        open();
        clickConnect();
        messages.shown.clear();
        logger->writeAll("CQ TEST");
        ASSERT_TRUE(waitUntil([&] { return applicationPort.bytesWaiting() >= 6; }));
        (keyerSide ? keyer : logger)->unplug();
        if (!keyerSide) {
            EXPECT_EQ(collect(*keyer, 7), "CQ TEST");
        }
        ASSERT_TRUE(waitUntil([&] { return !lit("Shape1") && !lit("Shape2"); }));
        runEvents(200);
        ASSERT_EQ(messages.shown.size(), 1u);  // one message, no storm
        // It names the side and the file and says the port went away, the system's words after.
        const QString side = keyerSide
                                 ? "output port COM17 (Winkey Port, " + folder.filePath("COM17")
                                 : "input port COM16 (Virtual Port, " + folder.filePath("COM16");
        EXPECT_TRUE(messages.shown[0].text.startsWith("The " + side + ") has gone away: "))
            << messages.shown[0].text.toStdString();
        EXPECT_TRUE(messages.shown[0].text.contains("(The system said: "));
        EXPECT_EQ(control<QPushButton>("Command1")->text(), "Connect");
        EXPECT_FALSE(keyerPort.isOpen() || applicationPort.isOpen());
        window.reset();
    }
}

}  // namespace
