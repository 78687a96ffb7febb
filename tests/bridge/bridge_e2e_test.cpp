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

const char* const kInputTail =
    ". It's possible that the version of C:\\Windows\\SysWow64\\mscomm32.ocx is restricting the "
    "highest port number. A possible fix is to download a modifed version of this file, reboot "
    "the system, backup the file and replace it with a downloaded version from ";

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

TEST_F(BridgeTest, AMissingPortTellsWhyAndLeavesTheOtherSideLit) {
    auto keyer = link(17);
    open(" 99 ", "17");
    clickConnect();
    ASSERT_EQ(messages.shown.size(), 1u);
    const QString text = messages.shown[0].text;
    // The serial layer's description first, then our words with the field exactly as typed.
    EXPECT_TRUE(text.contains(". Unable to connect to input port COM 99 " + QString(kInputTail)));
    EXPECT_FALSE(text.startsWith(". Unable"));
    EXPECT_TRUE(text.endsWith("/mscomm32.ocx "));
    EXPECT_FALSE(lit("Shape1"));
    EXPECT_TRUE(lit("Shape2"));
    EXPECT_EQ(control<QPushButton>("Command1")->text(), "Disconnect");

    clickConnect();  // closes the keyer side only
    EXPECT_FALSE(lit("Shape2"));
    EXPECT_FALSE(keyerPort.isOpen());
}

TEST_F(BridgeTest, PortFieldsAreReadAsNumbers) {
    auto logger = link(5);
    open(" 5 ", "COM5");
    clickConnect();
    EXPECT_TRUE(lit("Shape1"));   // blanks around 5 are trimmed
    EXPECT_FALSE(lit("Shape2"));  // COM5 reads as port 0
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.contains(
        ". Unable to connect to output port COMCOM5. It's possible that the version of "
        "C:\\Windows\\SysWow64\\mscomm32.ocx on your computer is restricting"));
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

TEST_F(BridgeTest, TheEchoOfATypedKeyWaitsUntilTheApplicationSpeaks) {
    auto logger = link(16);
    auto keyer = link(17);
    open();
    clickConnect();
    control<QCheckBox>("ShowEcho")->setChecked(true);
    QTest::keyClick(control<QPlainTextEdit>("Text3"), 'e');
    EXPECT_EQ(collect(*keyer, 1), "E");
    keyer->writeAll("E");
    runEvents(100);
    EXPECT_EQ(logger->readAvailable(), "");
    EXPECT_EQ(control<QPlainTextEdit>("Text5")->toPlainText(), "");

    logger->writeAll("A");
    EXPECT_EQ(collect(*keyer, 1), "A");
    keyer->writeAll("\xC0");
    EXPECT_EQ(collect(*logger, 1), "\xC0");
}

TEST_F(BridgeTest, WithTheKeyerPortClosedNothingIsWrittenAndNothingSaid) {
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

TEST_F(BridgeTest, AnUnpluggedPortIsClosedOnceAndTheOtherSideGoesOn) {
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
            // What the application port had already read still reaches the keyer.
            EXPECT_EQ(collect(*keyer, 7), "CQ TEST");
        }
        const char* dead = keyerSide ? "Shape2" : "Shape1";
        ASSERT_TRUE(waitUntil([&] { return !lit(dead); }));
        runEvents(200);
        EXPECT_EQ(messages.shown.size(), 1u);  // one message, no storm
        EXPECT_TRUE(lit(keyerSide ? "Shape1" : "Shape2"));
        EXPECT_FALSE((keyerSide ? keyerPort : applicationPort).isOpen());
        clickConnect();  // disconnects the side still lit
        EXPECT_FALSE(lit("Shape1") || lit("Shape2"));
        window.reset();
    }
}

}  // namespace
