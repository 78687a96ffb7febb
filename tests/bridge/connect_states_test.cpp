// Nothing the logger writes is lost in any state of Connect: the session over real
// pseudo-terminals linked as COMn, the logger's and the keyer's far ends played by the test.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "bridge/port_naming.h"
#include "bridge/session.h"
#include "platform/qt_serial_port.h"
#include "pty_pair.h"
#include "support/event_loop.h"
#include "support/fake_serial_port.h"
#include "support/recording_message_boxes.h"
#include "support/working_folder.h"

namespace {

// No sound: these tests are about bytes.
class Silence final : public platform::AudioOutput {
  public:
    QStringList deviceDescriptions() const override { return {QStringLiteral("Silence")}; }
    void play(int, platform::SampleSource*) override {}
    bool isPlaying() const override { return true; }
    void wake() override {}
};

class ConnectStates : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        logger = link(16);
        keyer = link(17);
    }

    std::unique_ptr<PtyPair> link(int number) {
        auto pty = std::make_unique<PtyPair>(
            folder.filePath(QStringLiteral("COM%1").arg(number)).toStdString());
        EXPECT_TRUE(pty->ok()) << pty->error();
        return pty;
    }
    QString click(const char* application = "16", const char* keyerField = "17") {
        return session.click(QString::fromLatin1(application), QString::fromLatin1(keyerField));
    }
    // Reads from a far end while the event loop runs until `count` bytes came, then a little
    // longer, so a byte that came twice would show.
    static std::string collect(PtyPair& far, std::size_t count) {
        std::string got;
        waitUntil([&] { return (got += far.readAvailable()).size() >= count; });
        runEvents(100);
        return got + far.readAvailable();
    }
    bool closed() const {
        return !applicationPort.isOpen() && !keyerPort.isOpen() && !session.applicationLit() &&
               !session.keyerLit() && session.caption() == "Connect";
    }

    WorkingFolder folder;
    std::function<QString(int)> device = [](int n) { return bridge::devicePathForPort(n); };
    platform::QtSerialPort applicationPort{device};
    platform::QtSerialPort keyerPort{device};
    RecordingMessageBoxes messages;
    bridge::Session session{applicationPort, keyerPort, messages, std::make_unique<Silence>()};
    std::unique_ptr<PtyPair> logger;
    std::unique_ptr<PtyPair> keyer;
};

const std::string kHostOpen("\x00\x02", 2);

// Connect with one side that does not open (either side), the logger writing before Connect or
// after it failed: the side that opened is closed again, so the far ends keep their bytes, and
// the next Connect passes them on, once and in order, both ways.
TEST_F(ConnectStates, AHalfFailedConnectKeepsEverythingForTheNextConnect) {
    struct Case {
        const char* what;
        const char* application;
        const char* keyerField;
        bool writesBeforeConnect;
    };
    for (const Case& c : {Case{"keyer side fails, logger writes after", "16", "18", false},
                          Case{"keyer side fails, logger writes before", "16", "18", true},
                          Case{"logger side fails, logger writes after", "19", "17", false},
                          Case{"logger side fails, logger writes before", "19", "17", true}}) {
        SCOPED_TRACE(c.what);
        messages.shown.clear();
        const std::string fromLogger = kHostOpen + "CQ";
        keyer->writeAll("\xC0");
        if (c.writesBeforeConnect) {
            logger->writeAll(fromLogger);
        }
        EXPECT_EQ(click(c.application, c.keyerField), "Connect");
        EXPECT_EQ(messages.shown.size(), 1u);
        EXPECT_TRUE(closed());
        if (!c.writesBeforeConnect) {
            logger->writeAll(fromLogger);
        }
        runEvents(150);
        EXPECT_EQ(keyer->readAvailable(), "");
        EXPECT_EQ(logger->readAvailable(), "");

        EXPECT_EQ(click(), "Disconnect");  // corrected: one click connects both
        EXPECT_EQ(collect(*keyer, fromLogger.size()), fromLogger);
        EXPECT_EQ(collect(*logger, 1), "\xC0");
        EXPECT_EQ(messages.shown.size(), 1u);
        click();
        ASSERT_TRUE(closed());
    }
}

// A keyer lost in the middle of the logger's message: what it had is gone with it, what had not
// reached it waits, and the next keyer gets it, with what the logger wrote meanwhile, so the
// two keyers together got every byte once, in order.
TEST_F(ConnectStates, AKeyerLostMidMessageLeavesTheRestForTheNextKeyer) {
    ASSERT_EQ(click(), "Disconnect");
    logger->writeAll("CQ");
    std::string first = collect(*keyer, 2);
    ASSERT_EQ(first, "CQ");
    logger->writeAll(" TEST");
    ASSERT_TRUE(waitUntil([&] { return session.relay().appChunk().size() >= 2; }));
    keyer->unplug();
    ASSERT_TRUE(waitUntil([&] { return closed(); }));
    EXPECT_EQ(messages.shown.size(), 1u);
    logger->writeAll(" DE");  // written while nothing is connected

    keyer.reset();
    keyer = link(17);  // the radio software is back
    EXPECT_EQ(click(), "Disconnect");
    EXPECT_EQ(first + collect(*keyer, 8), "CQ TEST DE");
}

// A logger lost in the middle of its message: what its port had read still reaches the keyer,
// then both sides close.
TEST_F(ConnectStates, ALoggerLostMidMessageStillReachesTheKeyer) {
    ASSERT_EQ(click(), "Disconnect");
    logger->writeAll("CQ TEST");
    ASSERT_TRUE(waitUntil([&] { return session.relay().appChunk().size() >= 2; }));
    ASSERT_TRUE(waitUntil([&] { return applicationPort.bytesWaiting() >= 5; }));
    logger->unplug();
    EXPECT_EQ(collect(*keyer, 7), "CQ TEST");
    EXPECT_TRUE(waitUntil([&] { return closed(); }));
    EXPECT_EQ(messages.shown.size(), 1u);
}

// Disconnect in the middle of a gathering passes on what was read; what the logger and the
// keyer write while disconnected goes across at the next Connect.
TEST_F(ConnectStates, DisconnectPassesOnWhatWasReadAndAReconnectTheRest) {
    ASSERT_EQ(click(), "Disconnect");
    logger->writeAll("CQ TEST");
    ASSERT_TRUE(waitUntil([&] { return session.relay().appChunk().size() >= 2; }));
    ASSERT_TRUE(waitUntil([&] { return applicationPort.bytesWaiting() >= 5; }));
    EXPECT_EQ(click(), "Connect");
    EXPECT_EQ(collect(*keyer, 7), "CQ TEST");

    logger->writeAll(kHostOpen);
    keyer->writeAll("\xC0");
    runEvents(100);
    EXPECT_EQ(click(), "Disconnect");
    EXPECT_EQ(collect(*keyer, 2), kHostOpen);
    EXPECT_EQ(collect(*logger, 1), "\xC0");
    EXPECT_TRUE(messages.shown.empty());
}

// Disconnect ends what the monitor keys: the keyer is gone.
TEST_F(ConnectStates, DisconnectEndsTheMonitor) {
    session.setLatencyText("10000");
    ASSERT_EQ(click(), "Disconnect");
    logger->writeAll("CQ");
    collect(*keyer, 2);
    ASSERT_TRUE(session.monitor().busy());
    click();
    EXPECT_FALSE(session.monitor().busy());
}

// The bar follows the logger's speeds within its range, and never the operator's own command
// read back from the keyer's stream.
TEST(SessionSpeed, OnlyTheLoggersSpeedsInTheRangeAreFollowed) {
    FakeSerialPort applicationPort;
    FakeSerialPort keyerPort;
    RecordingMessageBoxes messages;
    bridge::Session session{applicationPort, keyerPort, messages, std::make_unique<Silence>()};
    std::vector<int> followed;
    QObject::connect(&session, &bridge::Session::speedFollowed,
                     [&](int wpm) { followed.push_back(wpm); });
    ASSERT_EQ(session.click("16", "17"), "Disconnect");
    session.setOperatorSpeed(40);
    EXPECT_EQ(keyerPort.written(), QByteArray("\x02\x28", 2));
    applicationPort.deliver(QByteArray("\x02\x1E\x02\x04\x02\x33", 6));
    ASSERT_TRUE(waitUntil([&] { return keyerPort.written().size() == 8; }));
    EXPECT_EQ(followed, std::vector<int>{30});  // 4 and 51 are outside 5..50
}

}  // namespace
