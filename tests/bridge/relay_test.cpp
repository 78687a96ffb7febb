#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bridge/relay.h"
#include "support/event_loop.h"
#include "support/fake_serial_port.h"
#include "support/recording_message_boxes.h"

namespace {

class RelayTest : public testing::Test {
  protected:
    void SetUp() override {
        applicationPort.open(1, {});
        keyerPort.open(2, {});
        QObject::connect(&relay, &bridge::Relay::chunkForwarded,
                         [this](const std::string& chunk, bool typed, bool) {
                             chunks.push_back((typed ? "typed:" : "app:") + chunk);
                         });
    }

    FakeSerialPort applicationPort;
    FakeSerialPort keyerPort;
    RecordingMessageBoxes messages;
    bridge::Relay relay{applicationPort, keyerPort, messages};
    std::vector<std::string> chunks;
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
    ASSERT_TRUE(waitUntil([&] { return chunks.size() == 2; }));
    EXPECT_EQ(chunks, (std::vector<std::string>{"typed:E", "app:CQ DE"}));
    EXPECT_EQ(keyerPort.written(), "ECQ DE");
}

TEST_F(RelayTest, AChunkThatFailedGoesAgainInFrontOfTheNext) {
    keyerPort.refuseWrite = true;
    applicationPort.deliver("AB");
    ASSERT_TRUE(waitUntil([&] { return !messages.shown.empty(); }));
    EXPECT_EQ(messages.texts(), QStringList{"Write failed"});
    EXPECT_EQ(relay.appChunk(), "AB");
    EXPECT_FALSE(relay.chunkBusy());
    EXPECT_TRUE(chunks.empty());

    keyerPort.refuseWrite = false;
    applicationPort.deliver("C");
    ASSERT_TRUE(waitUntil([&] { return !chunks.empty(); }));
    EXPECT_EQ(keyerPort.written(), "ABC");
}

TEST_F(RelayTest, WithTheKeyerClosedNothingIsWrittenAndOnlyApplicationChunksAreReported) {
    keyerPort.close();
    bool reportedOpen = true;
    QObject::connect(&relay, &bridge::Relay::chunkForwarded,
                     [&](const std::string&, bool, bool keyerOpen) { reportedOpen = keyerOpen; });
    applicationPort.deliver("A");
    ASSERT_TRUE(waitUntil([&] { return !chunks.empty(); }));
    EXPECT_FALSE(reportedOpen);
    EXPECT_TRUE(keyerPort.writes.empty());
    EXPECT_TRUE(messages.shown.empty());
}

}  // namespace
