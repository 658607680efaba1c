#include "protocol/command_exchange.h"

#include <gtest/gtest.h>

#include "fake_command_port.h"

namespace kr35 {
namespace {

using testing::FakeCommandPort;

const Timing kFast{.responseWait = std::chrono::milliseconds(0),
                   .retryPause = std::chrono::milliseconds(0)};

std::optional<ResponseFrame> Answer(std::initializer_list<std::uint8_t> bytes) {
  ResponseFrame frame{};
  std::copy(bytes.begin(), bytes.end(), frame.begin());
  return frame;
}

TEST(SendCommandTest, RetriesRejectedAnswersWithTheSameFrame) {
  FakeCommandPort port;
  int calls = 0;
  port.respond = [&](const CommandFrame&) {
    return ++calls <= 2 ? Answer({RSP_NAK_DSP}) : Answer({RSP_ACK});
  };
  std::string text = "stale";
  const CommandFrame frame = MakeWordFrame(CMD_DSP_START, 5);
  EXPECT_TRUE(SendCommand(port, kFast, frame, text));
  EXPECT_EQ(text, "RSP_ACK");
  ASSERT_EQ(port.sent.size(), 3u);
  for (const auto& sent : port.sent) EXPECT_EQ(sent, frame);
}

TEST(SendCommandTest, SilenceGivesUpAfterTenAttemptsAndKeepsTheLastResponse) {
  FakeCommandPort port;
  port.last = *Answer({RSP_VERSIONS, 1, 2, 3, 4});
  port.respond = [](const CommandFrame&) { return std::nullopt; };
  std::string text = "stale";
  EXPECT_FALSE(SendCommand(port, kFast, MakeQueryFrame(CMD_VERSIONS), text));
  EXPECT_EQ(port.sent.size(), 10u);
  EXPECT_EQ(text, "");
  EXPECT_EQ(port.last, *Answer({RSP_VERSIONS, 1, 2, 3, 4}));
}

TEST(SendCommandTest, KeepsTheTextOfTheLastRejectedAnswer) {
  FakeCommandPort port;
  port.respond = [](const CommandFrame&) { return Answer({RSP_NAK_DSP}); };
  std::string text;
  EXPECT_FALSE(SendCommand(port, kFast, MakeQueryFrame(CMD_VERSIONS), text));
  EXPECT_EQ(text, "RSP_NAK_DSP");
}

TEST(SendCommandTest, PausesBetweenAttemptsOnly) {
  FakeCommandPort port;
  port.respond = [](const CommandFrame&) { return std::nullopt; };
  const Timing timing{.retryPause = std::chrono::milliseconds(5), .attempts = 3};
  std::string text;
  port.exchangeTime = std::chrono::milliseconds(0);
  SendCommand(port, timing, MakeQueryFrame(CMD_VERSIONS), text);
  EXPECT_EQ(port.clock.Now(), std::chrono::milliseconds(10));
  EXPECT_EQ(port.sent.size(), 3u);
}

TEST(PollUpgradeStatusTest, JudgesByteOneOfTheLastResponse) {
  struct Case {
    std::uint8_t status;
    bool ready;
    std::size_t writes;
  };
  for (const Case c :
       {Case{UPGRADE_CHECKSUM_BAD, false, 1}, Case{UPGRADE_BUSY, false, 10},
        Case{UPGRADE_CHECKSUM_GOOD, true, 1}, Case{UPGRADE_IDLE, true, 1}, Case{9, true, 1}}) {
    FakeCommandPort port;
    port.respond = [&](const CommandFrame& frame) {
      EXPECT_EQ(frame[0], 0x94);
      return Answer({RSP_UPGRADE_STATUS, c.status});
    };
    EXPECT_EQ(PollUpgradeStatus(port, kFast, CMD_UPGRADE_STATUS), c.ready) << int(c.status);
    EXPECT_EQ(port.sent.size(), c.writes) << int(c.status);
  }
}

TEST(PollUpgradeStatusTest, UnansweredQueryJudgesThePreviousAnswer) {
  FakeCommandPort port;
  port.last = *Answer({RSP_ACK, UPGRADE_CHECKSUM_BAD});
  port.respond = [](const CommandFrame&) { return std::nullopt; };
  EXPECT_FALSE(PollUpgradeStatus(port, kFast, CMD_UPGRADE_STATUS));
}

}  // namespace
}  // namespace kr35
