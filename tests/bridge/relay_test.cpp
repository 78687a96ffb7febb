#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <functional>
#include <string>
#include <vector>

#include "bridge/port_naming.h"
#include "bridge/relay.h"
#include "platform/qt_serial_port.h"
#include "pty_pair.h"
#include "support/event_loop.h"
#include "support/fake_serial_port.h"
#include "support/recording_message_boxes.h"
#include "support/working_folder.h"

namespace {

std::string bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) {
        s += static_cast<char>(v);
    }
    return s;
}

// What the keyer was read to do, as text: "S20" for a speed, the character for text.
std::string describe(const std::vector<keyer::StreamEvent>& events) {
    std::string out;
    for (const auto& e : events) {
        if (e.kind == keyer::StreamEvent::Kind::Speed) {
            out += "S" + std::to_string(e.a);
        } else if (e.kind == keyer::StreamEvent::Kind::Text) {
            out += static_cast<char>(e.a);
        }
    }
    return out;
}

class RelayTest : public testing::Test {
  protected:
    void SetUp() override {
        applicationPort.open(1, {});
        keyerPort.open(2, {});
        QObject::connect(&relay, &bridge::Relay::chunkGathered,
                         [this](const std::string& chunk) { chunks.push_back(chunk); });
        QObject::connect(&relay, &bridge::Relay::keyerStreamRead,
                         [this](const auto& events, auto, bridge::Origin origin) {
                             read += describe(events);
                             origins.push_back(origin);
                         });
    }

    FakeSerialPort applicationPort;
    FakeSerialPort keyerPort;
    RecordingMessageBoxes messages;
    bridge::Relay relay{applicationPort, keyerPort, messages};
    std::vector<std::string> chunks;
    std::string read;
    std::vector<bridge::Origin> origins;
};

TEST_F(RelayTest, ChunksHoldAtMost101BytesAndTheRestFollowsInOrder) {
    QByteArray burst;
    for (int i = 0; i < 150; ++i) {
        burst += static_cast<char>('0' + i % 10);
    }
    applicationPort.deliver(burst);
    ASSERT_TRUE(waitUntil([&] { return keyerPort.written().size() == 150; }, 5000));
    ASSERT_GE(keyerPort.writes.size(), 2u);
    EXPECT_EQ(keyerPort.writes[0].size(), 101);
    EXPECT_EQ(keyerPort.written(), burst);
}

TEST_F(RelayTest, ATypedKeyDuringAGatheringNeitherDropsNorReordersTheApplicationBytes) {
    applicationPort.deliver("CQ");
    relay.GetDataWinkey("E");  // typed while "CQ" is being gathered
    applicationPort.deliver(" DE");
    ASSERT_TRUE(waitUntil([&] { return chunks.size() == 1; }));
    EXPECT_EQ(chunks, (std::vector<std::string>{"CQ DE"}));
    EXPECT_EQ(keyerPort.written(), "ECQ DE");
    EXPECT_EQ(read, "ECQ DE");
    // What the relay reports says whose bytes they were.
    EXPECT_EQ(origins,
              (std::vector<bridge::Origin>{bridge::Origin::Typed, bridge::Origin::Logger}));
}

// A refusing port: one message for the failure, retries at the gathering pace (not at once),
// nothing read until written, every byte in order once the port takes them again.
TEST_F(RelayTest, ARefusingKeyerPortIsToldOnceAndGetsEveryByteInOrderOnceItAccepts) {
    keyerPort.refuseWrite = true;
    QElapsedTimer clock;
    clock.start();
    applicationPort.deliver("CQ");
    ASSERT_TRUE(waitUntil([&] { return !messages.shown.empty(); }));
    relay.GetDataWinkey("E");
    runEvents(150);
    applicationPort.deliver(" TEST");
    runEvents(150);
    EXPECT_EQ(messages.texts(), QStringList{"Write failed"});
    EXPECT_TRUE(keyerPort.writes.empty());
    EXPECT_EQ(read, "");
    EXPECT_GE(keyerPort.refusedWrites, 2);
    EXPECT_LE(keyerPort.refusedWrites, clock.elapsed() / 10 + 3);

    keyerPort.refuseWrite = false;  // no new bytes: the retries alone bring the rest
    ASSERT_TRUE(waitUntil([&] { return keyerPort.written().size() == 8; }));
    EXPECT_EQ(keyerPort.written(), "CQE TEST");
    EXPECT_EQ(read, "CQE TEST");
    EXPECT_EQ(messages.shown.size(), 1u);

    keyerPort.refuseWrite = true;  // a new failure after a write that went through
    applicationPort.deliver("K");
    ASSERT_TRUE(waitUntil([&] { return messages.shown.size() == 2; }));
}

// With the keyer port closed the logger's bytes wait for the next keyer port, where they go
// first, once; typed keys and our own commands were for a keyer that is not there.
TEST_F(RelayTest, WithTheKeyerClosedTheLoggersBytesWaitAndOursGoNowhere) {
    keyerPort.close();
    applicationPort.deliver("A");
    relay.sendOwn(bytes({0x02, 0x1C}));
    relay.GetDataWinkey("E");
    ASSERT_TRUE(waitUntil([&] { return !chunks.empty(); }));
    runEvents(50);
    EXPECT_TRUE(keyerPort.writes.empty());
    EXPECT_EQ(read, "");
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(relay.heldBytes(), 1u);

    keyerPort.open(2, {});
    ASSERT_TRUE(waitUntil([&] { return !keyerPort.writes.empty(); }));
    runEvents(50);
    EXPECT_EQ(keyerPort.written(), "A");
    EXPECT_EQ(read, "A");
    EXPECT_EQ(relay.heldBytes(), 0u);
}

// While the keyer cannot take them, at most kMostHeldBytes wait in the relay; gathering pauses
// and the rest waits at the application port, to follow in order.
TEST_F(RelayTest, WhatWaitsIsBoundedAndTheRestStaysAtThePort) {
    keyerPort.close();
    std::string burst;
    for (int i = 0; i < 5000; ++i) {
        burst += static_cast<char>('A' + i % 26);
    }
    applicationPort.incoming = QByteArray::fromStdString(burst);
    relay.takeAllWaiting();  // the port closing takes all it has, beyond the bound
    EXPECT_EQ(relay.heldBytes(), burst.size());
    applicationPort.deliver("!");
    runEvents(50);
    EXPECT_EQ(applicationPort.bytesWaiting(), 1);  // not gathered while so much waits
    keyerPort.open(2, {});
    ASSERT_TRUE(waitUntil([&] { return keyerPort.written().size() == 5001; }));
    EXPECT_EQ(keyerPort.written().toStdString(), burst + "!");
    EXPECT_EQ(keyerPort.writes[0].size(), 101);
}

// The keyer's echoes of typed keys stay with us; its status bytes around them and its echoes
// of the logger's text go to the logger, at once.
TEST_F(RelayTest, OnlyTheEchoesOfTypedKeysAreHeldBack) {
    applicationPort.deliver("CQ");
    ASSERT_TRUE(waitUntil([&] { return keyerPort.written() == "CQ"; }));
    relay.GetDataWinkey("E");
    keyerPort.deliver(
        "\xC4"
        "C");
    keyerPort.deliver("QE\xC0");
    EXPECT_EQ(applicationPort.written(),
              "\xC4"
              "CQ\xC0");
}

TEST_F(RelayTest, AReopenedKeyerPortIsReadFromAFreshStart) {
    applicationPort.deliver(QByteArray(1, 0x02));  // a speed command cut off by the reconnection
    ASSERT_TRUE(waitUntil([&] { return keyerPort.writes.size() == 1; }));
    keyerPort.close();
    keyerPort.open(2, {});
    applicationPort.deliver("E");
    ASSERT_TRUE(waitUntil([&] { return keyerPort.writes.size() == 2; }));
    EXPECT_EQ(read, "E");
}

// The relay between real pseudo-terminals: the logger's speed command, then its mode command
// whose value comes 100 ms later with text after it. Our own bytes, given while the mode command
// is half read, wait for its value and go in right after it, before the text.
TEST(RelayOverPtys, OwnBytesGoInOnlyBetweenTheLoggersCommands) {
    struct Case {
        const char* what;
        std::function<void(bridge::Relay&)> own;
        std::string keyerGets;
        std::string read;
    };
    const std::vector<Case> cases{
        {"own speed, a newer one replacing it while it waits",
         [](bridge::Relay& r) {
             r.sendOwn(bytes({0x02, 0x1C}));
             r.sendOwn(bytes({0x02, 0x1E}));
         },
         bytes({0x02, 0x14, 0x0E, 0x40, 0x02, 0x1E}) + "CQ", "S20S30CQ"},
        {"typed characters",
         [](bridge::Relay& r) {
             r.GetDataWinkey("E");
             r.GetDataWinkey("T");
         },
         bytes({0x02, 0x14, 0x0E, 0x40}) + "ETCQ", "S20ETCQ"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WorkingFolder folder;
        PtyPair logger(folder.filePath("COM16").toStdString());
        PtyPair keyer(folder.filePath("COM17").toStdString());
        const auto device = [](int n) { return bridge::devicePathForPort(n); };
        platform::QtSerialPort applicationPort{device};
        platform::QtSerialPort keyerPort{device};
        RecordingMessageBoxes messages;
        bridge::Relay relay{applicationPort, keyerPort, messages};
        std::string read;
        QObject::connect(&relay, &bridge::Relay::keyerStreamRead,
                         [&](const auto& events, auto, auto) { read += describe(events); });
        ASSERT_TRUE(applicationPort.open(16, {19200, 'N', 8, 1}));
        ASSERT_TRUE(keyerPort.open(17, {1200, 'N', 8, 1}));

        std::string got;
        const auto collect = [&](std::size_t count) {
            return waitUntil([&] { return (got += keyer.readAvailable()).size() >= count; });
        };
        logger.writeAll(bytes({0x02, 0x14, 0x0E}));
        ASSERT_TRUE(collect(3));
        c.own(relay);
        runEvents(100);
        logger.writeAll(bytes({0x40}) + "CQ");
        ASSERT_TRUE(collect(c.keyerGets.size()));
        runEvents(50);
        got += keyer.readAvailable();
        EXPECT_EQ(got, c.keyerGets);
        EXPECT_EQ(read, c.read);
        EXPECT_TRUE(messages.shown.empty());
    }
}

}  // namespace
