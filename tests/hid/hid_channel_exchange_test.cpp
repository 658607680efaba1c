// Commands through the channel: what goes out in the output report, how a
// response is waited for and taken, and when lastResponse changes.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "hid/fake_hid_backend.h"
#include "hid/hid_channel.h"
#include "hid/hid_channel_test_support.h"
#include "protocol/command_exchange.h"

namespace kr35::test {
namespace {

constexpr ResponseFrame kZero{};
constexpr ResponseFrame kVersions{RSP_VERSIONS, 0x04, 0x01, 0x07, 0x01};
constexpr ResponseFrame kStatusBusy{RSP_UPGRADE_STATUS, UPGRADE_BUSY, 0, 0, 0};

std::vector<std::uint8_t> Bytes(const ResponseFrame& frame) {
  return {frame.begin(), frame.end()};
}

// An open channel on the adapter whose answers the test chooses.
class ExchangeTest : public ::testing::Test {
 protected:
  void SetUp() override { Open(ShortWaitTiming()); }
  void Open(Timing timing, FakeDevice device = AdapterDevice()) {
    channel_.reset();
    backend_.SetDevices({device});
    channel_ = std::make_unique<HidChannel>(backend_, timing);
    channel_->SetNotifyWindow(&queue_);
    ASSERT_EQ(channel_->FindAdapter(), 1);
    ASSERT_TRUE(backend_.WaitForReaderIdle());
  }
  // Every write is answered with `response`; nullopt: the adapter is silent.
  void AnswerWith(std::optional<ResponseFrame> response) {
    if (!response) {
      backend_.SetWriteHook(nullptr);
      return;
    }
    backend_.SetWriteHook(
        [this, r = *response](auto) { backend_.PushReport(ResponseReport(Bytes(r))); });
  }

  FakeHidBackend backend_;
  RecordingQueue queue_;
  std::unique_ptr<HidChannel> channel_;
};

TEST_F(ExchangeTest, LastResponseChangesOnlyWhenAResponseIsTaken) {
  std::string text = "stale";
  EXPECT_EQ(channel_->LastResponse(), kZero);

  AnswerWith(std::nullopt);
  EXPECT_FALSE(channel_->ExchangeOnce(MakeQueryFrame(CMD_VERSIONS), text));
  EXPECT_EQ(text, "");
  EXPECT_EQ(channel_->LastResponse(), kZero);

  AnswerWith(kVersions);
  EXPECT_TRUE(channel_->ExchangeOnce(MakeQueryFrame(CMD_VERSIONS), text));
  EXPECT_EQ(text, "USB 0104, DSP 0107");
  EXPECT_EQ(channel_->LastResponse(), kVersions);

  AnswerWith(kStatusBusy);  // taken, then rejected
  EXPECT_FALSE(channel_->ExchangeOnce(MakeQueryFrame(CMD_UPGRADE_STATUS), text));
  EXPECT_EQ(text, "UPGRADE_BUSY");
  EXPECT_EQ(channel_->LastResponse(), kStatusBusy);

  AnswerWith(std::nullopt);
  text = "stale";
  EXPECT_FALSE(channel_->ExchangeOnce(MakeQueryFrame(CMD_VERSIONS), text));
  EXPECT_EQ(text, "");
  EXPECT_EQ(channel_->LastResponse(), kStatusBusy);

  AnswerWith(kVersions);
  backend_.ScriptWriteResults({false});
  EXPECT_FALSE(channel_->ExchangeOnce(MakeQueryFrame(CMD_VERSIONS), text));
  EXPECT_EQ(channel_->LastResponse(), kStatusBusy);
  EXPECT_EQ(backend_.QueuedInputs(), 0u);  // a failed write got no answer
}

TEST_F(ExchangeTest, FailedWriteEndsTheAttemptWithoutWaiting) {
  Open(FastTiming());  // a 2 s response wait that a failed write must not sit out
  backend_.ScriptWriteResults({false, false, false, false});
  std::string text;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(channel_->ExchangeOnce(MakeQueryFrame(CMD_VERSIONS), text));
  EXPECT_FALSE(SendCommand(*channel_, FastTiming(), MakeQueryFrame(CMD_VERSIONS), text));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
  EXPECT_EQ(backend_.Writes().size(), 4u);
  EXPECT_EQ(channel_->LastResponse(), kZero);
}

// A response that comes when nobody waits (late or unsolicited) lands in the
// latch and sets the event; the next write clears the event, so it neither
// ends the next wait nor reaches lastResponse.
TEST_F(ExchangeTest, StrayResponseNeverEndsTheNextWait) {
  std::string text;
  AnswerWith(kVersions);
  ASSERT_TRUE(channel_->ExchangeOnce(MakeQueryFrame(CMD_VERSIONS), text));

  AnswerWith(std::nullopt);
  backend_.PushReport(ResponseReport({RSP_SINGLE_VALUE_5, 0x2A, 0, 0, 0}));
  ASSERT_TRUE(backend_.WaitForReaderIdle());
  EXPECT_FALSE(channel_->ExchangeOnce(MakeQueryFrame(CMD_VERSIONS), text));
  EXPECT_EQ(text, "");
  EXPECT_EQ(channel_->LastResponse(), kVersions);

  // The next answer replaces the stray one in the latch before it is taken.
  backend_.PushReport(ResponseReport({RSP_SINGLE_VALUE_5, 0x2A, 0, 0, 0}));
  ASSERT_TRUE(backend_.WaitForReaderIdle());
  AnswerWith(kStatusBusy);
  EXPECT_FALSE(channel_->ExchangeOnce(MakeQueryFrame(CMD_UPGRADE_STATUS), text));
  EXPECT_EQ(channel_->LastResponse(), kStatusBusy);
}

TEST_F(ExchangeTest, WriteHandleThatWontOpenLeavesReadingWorking) {
  FakeDevice device = AdapterDevice();
  device.opensForWrite = false;
  Open(FastTiming(), device);
  EXPECT_TRUE(channel_->IsOpen());
  EXPECT_EQ(channel_->WriteCommand(MakeQueryFrame(CMD_VERSIONS)), 0);
  std::string text;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(channel_->ExchangeOnce(MakeQueryFrame(CMD_VERSIONS), text));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
  EXPECT_TRUE(backend_.Writes().empty());

  backend_.PushReport(ButtonReport(0x02));
  ASSERT_TRUE(backend_.WaitForReaderIdle());
  EXPECT_EQ(queue_.TakeEvents(),
            (std::vector<std::pair<std::uintptr_t, std::intptr_t>>{{0x0C, 0xE9}}));
}

TEST_F(ExchangeTest, WritesExactlyTheCommandArrayLengthOfFrameBytes) {
  struct Case {
    std::uint8_t commandLength;
  };
  for (const Case c : {Case{62}, Case{10}, Case{1}}) {
    SCOPED_TRACE(static_cast<int>(c.commandLength));
    FakeDevice device = AdapterDevice();
    device.descriptor = AdapterLikeDescriptor(c.commandLength, {5});
    Open(ShortWaitTiming(), device);
    AnswerWith(kVersions);
    const std::size_t reportLength = 1u + c.commandLength + 1u;
    EXPECT_EQ(channel_->OutputReportByteLength(), reportLength);

    CommandFrame frame;
    for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<std::uint8_t>(0x80 + i);
    std::string text;
    ASSERT_TRUE(channel_->ExchangeOnce(frame, text));
    ASSERT_TRUE(channel_->ExchangeOnce(MakeCodeFrame(CMD_USB_FINISH), text));

    const auto writes = backend_.Writes();
    ASSERT_GE(writes.size(), 2u);
    std::vector<std::uint8_t> expected(reportLength, 0);
    expected[0] = 0x02;
    std::copy_n(frame.begin(), c.commandLength, expected.begin() + 1);
    EXPECT_EQ(writes[writes.size() - 2], expected);
    // Each report is zeroed before it is filled: nothing of the first remains.
    std::vector<std::uint8_t> second(reportLength, 0);
    second[0] = 0x02;
    second[1] = 0x13;
    EXPECT_EQ(writes.back(), second);
  }
}

TEST_F(ExchangeTest, SendCommandRetriesRejectedAnswersThroughTheReader) {
  int answered = 0;
  backend_.SetWriteHook([&](auto) {
    const ResponseFrame nak{RSP_NAK_DSP, 0, 0, 0, 0};
    backend_.PushReport(ResponseReport(Bytes(++answered < 3 ? nak : kZero)));
  });
  std::string text;
  EXPECT_TRUE(SendCommand(*channel_, FastTiming(), MakeWordFrame(CMD_USB_START, 189), text));
  EXPECT_EQ(text, "RSP_ACK");
  const auto writes = backend_.Writes();
  ASSERT_EQ(writes.size(), 3u);
  EXPECT_EQ(writes[0], writes[2]);
  EXPECT_EQ(writes[0][1], 0x0F);
  EXPECT_EQ(writes[0][2], 189);
}

}  // namespace
}  // namespace kr35::test
