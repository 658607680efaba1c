#include "protocol/firmware_transfer.h"

#include "adapter/transfer_texts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "fake_command_port.h"

namespace kr35 {
namespace {

using testing::FakeCommandPort;
using testing::RecordingInfoLine;

const Timing kFast{.responseWait = std::chrono::milliseconds(0),
                   .retryPause = std::chrono::milliseconds(0),
                   .finishPause = std::chrono::milliseconds(0),
                   .statusWaitLimit = std::chrono::milliseconds(100)};

ResponseFrame Answer(std::initializer_list<std::uint8_t> bytes) {
  ResponseFrame frame{};
  std::copy(bytes.begin(), bytes.end(), frame.begin());
  return frame;
}

// An image of `length` payload bytes 1, 2, 3, ... with a matching header.
std::vector<std::uint8_t> MakeImage(std::uint32_t length) {
  std::vector<std::uint8_t> bytes(kImageHeaderSize + length);
  for (std::uint32_t i = 0; i < length; ++i)
    bytes[kImageHeaderSize + i] = static_cast<std::uint8_t>(i + 1);
  const std::uint16_t sum = ComputeChecksum(std::span(bytes).subspan(kImageHeaderSize));
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<std::uint8_t>(length >> (8 * i));
  bytes[4] = static_cast<std::uint8_t>(sum);
  bytes[5] = static_cast<std::uint8_t>(sum >> 8);
  return bytes;
}

// An adapter that accepts everything: a good status (ready for blocks before
// them, image accepted after the end), blocks answered with byte 1 = 0.
std::optional<ResponseFrame> Accepting(const CommandFrame& frame) {
  if (frame[0] == 0x94) return Answer({RSP_UPGRADE_STATUS, UPGRADE_CHECKSUM_GOOD});
  return Answer({RSP_ACK});
}

std::vector<int> Percentages(const std::vector<std::string>& lines, const char* prefix) {
  std::vector<int> values;
  for (const auto& line : lines)
    if (line.rfind(prefix, 0) == 0)
      values.push_back(std::stoi(line.substr(std::string(prefix).size())));
  return values;
}

TEST(UsbTransferTest, BuiltInSizedImageGoesOutIn189Blocks) {
  const auto bytes = MakeImage(6021);
  FakeCommandPort port;
  port.respond = Accepting;
  RecordingInfoLine info;
  EXPECT_TRUE(DownloadUsbFirmware(port, kFast, FirmwareImage(bytes), info));

  EXPECT_EQ(port.sent.front(), MakeWordFrame(CMD_USB_START, 189));
  const auto blocks = port.SentWithCode(CMD_USB_BLOCK);
  ASSERT_EQ(blocks.size(), 189u);
  const CommandFrame& last = blocks.back();
  EXPECT_TRUE(std::equal(last.begin() + 1, last.begin() + 6, bytes.end() - 5));
  EXPECT_TRUE(std::all_of(last.begin() + 6, last.end(), [](auto b) { return b == 0; }));

  const auto percentages = Percentages(info.shown, "Download Completion: USB ");
  ASSERT_EQ(percentages.size(), 189u);
  EXPECT_EQ(percentages[0], 0);
  EXPECT_EQ(percentages[1], 0);
  EXPECT_EQ(percentages[2], 1);
  EXPECT_EQ(percentages.back(), 99);
  EXPECT_EQ(info.shown[0], "Download Completion: USB 0 %.");
  EXPECT_EQ(info.shown.back(), "100 percent");
  EXPECT_EQ(port.sent[port.sent.size() - 2],
            MakeWordFrame(CMD_USB_END, FirmwareImage(bytes).Checksum()));
  EXPECT_EQ(port.sent.back(), MakeCodeFrame(CMD_USB_FINISH));
}

TEST(UsbTransferTest, SmallPayloadsAndZeroPadding) {
  for (std::uint32_t length : {0u, 32u, 33u}) {
    const auto bytes = MakeImage(length);
    FakeCommandPort port;
    port.respond = Accepting;
    RecordingInfoLine info;
    EXPECT_TRUE(DownloadUsbFirmware(port, kFast, FirmwareImage(bytes), info)) << length;
    const auto blocks = port.SentWithCode(CMD_USB_BLOCK);
    EXPECT_EQ(blocks.size(), (length + 31) / 32) << length;
    EXPECT_EQ(port.sent.front(),
              MakeWordFrame(CMD_USB_START, static_cast<std::uint16_t>(blocks.size())));
    if (length == 33) {
      EXPECT_EQ(blocks[1][1], 33);
      EXPECT_TRUE(
          std::all_of(blocks[1].begin() + 2, blocks[1].end(), [](auto b) { return b == 0; }));
    }
    EXPECT_EQ(info.shown.back(), "100 percent");
  }
}

TEST(UsbTransferTest, RefusedBlockStillSendsTheEndCommandWhichDecides) {
  for (bool endAccepted : {true, false}) {
    const auto bytes = MakeImage(6021);
    FakeCommandPort port;
    int blocks = 0;
    port.respond = [&](const CommandFrame& frame) -> std::optional<ResponseFrame> {
      if (frame[0] == CMD_USB_BLOCK && ++blocks == 3) return Answer({RSP_NAK_CMD});
      if (frame[0] == CMD_USB_END) return Answer({endAccepted ? RSP_ACK : RSP_NAK_BUSY});
      return Answer({RSP_ACK});
    };
    RecordingInfoLine info;
    EXPECT_EQ(DownloadUsbFirmware(port, kFast, FirmwareImage(bytes), info), endAccepted);
    EXPECT_EQ(port.SentWithCode(CMD_USB_BLOCK).size(), 3u);
    EXPECT_EQ(info.shown[2], "USB Error, 0x40 bytes are written");
    EXPECT_EQ(info.shown.back(), endAccepted ? "100 percent" : "USB download Failure");
    EXPECT_EQ(port.SentWithCode(CMD_USB_FINISH).size(), endAccepted ? 1u : 0u);
  }
}

TEST(UsbTransferTest, UnansweredStartSendsNothingElse) {
  const auto bytes = MakeImage(100);
  FakeCommandPort port;
  port.respond = [](const CommandFrame&) { return std::nullopt; };
  RecordingInfoLine info;
  EXPECT_FALSE(DownloadUsbFirmware(port, kFast, FirmwareImage(bytes), info));
  EXPECT_EQ(port.SentWithCode(CMD_USB_BLOCK).size(), 0u);
  EXPECT_TRUE(info.shown.empty());
}

// From the third block on, no attempt gets an accepted answer: the adapter
// is gone (silence), or it answers a DSP block with RSP_NAK_DSP
// {2, 0, 0, 0, 0}, whose byte 1 alone would pass for a DSP acceptance. The
// transfer must stop at that block (not judge it by the previous answer
// kept) and fail.
TEST(TransferTest, BlockWithoutAnAcceptedAnswerFailsTheTransfer) {
  struct Case {
    bool dsp;
    bool nakDsp;  // false: silence
    const char* error;
  };
  for (const Case& c : {Case{false, false, "USB Error, 0x40 bytes are written"},
                        Case{true, false, "DSP Error, 0x7a bytes are written"},
                        Case{true, true, "DSP Error, 0x7a bytes are written"}}) {
    const auto bytes = MakeImage(6021);
    const std::uint8_t blockCode = c.dsp ? CMD_DSP_BLOCK : CMD_USB_BLOCK;
    FakeCommandPort port;
    int blocks = 0;
    port.respond = [&](const CommandFrame& frame) -> std::optional<ResponseFrame> {
      const bool failing = blocks >= 2 && (c.nakDsp ? frame[0] == blockCode : true);
      if (frame[0] == blockCode && blocks < 2) ++blocks;
      if (!failing) return Accepting(frame);
      if (c.nakDsp) return Answer({RSP_NAK_DSP, 0, 0, 0, 0});
      return std::nullopt;
    };
    RecordingInfoLine info;
    const bool result = c.dsp ? DownloadDspFirmware(port, kFast, FirmwareImage(bytes), info)
                              : DownloadUsbFirmware(port, kFast, FirmwareImage(bytes), info);
    EXPECT_FALSE(result) << c.error;
    // Block 3 was tried with every attempt, and no later block was sent.
    EXPECT_EQ(port.SentWithCode(blockCode).size(), 2u + static_cast<std::size_t>(kFast.attempts));
    EXPECT_NE(std::find(info.shown.begin(), info.shown.end(), c.error), info.shown.end());
    EXPECT_EQ(port.SentWithCode(CMD_USB_FINISH).size(), 0u);
  }
}

// The block count travels in 16 bits: one block more than that is refused
// before any frame, with a text naming the part and the size.
TEST(TransferTest, PayloadWhoseBlockCountDoesNotFit16BitsIsRefused) {
  struct Case {
    bool dsp;
    std::uint32_t length;
    const char* refusal;  // null: announced, with 65535 blocks
  };
  for (const Case& c :
       {Case{false, 65535u * 32, nullptr},
        Case{false, 65535u * 32 + 1, "USB Error, image of 2097121 bytes is too large"},
        Case{true, 65535u * 61, nullptr},
        Case{true, 65535u * 61 + 1, "DSP Error, image of 3997636 bytes is too large"},
        Case{true, 65536u * 61, "DSP Error, image of 3997696 bytes is too large"}}) {
    const auto bytes = MakeImage(c.length);
    FakeCommandPort port;
    port.respond = [](const CommandFrame&) { return std::optional<ResponseFrame>(); };
    RecordingInfoLine info;
    EXPECT_FALSE(c.dsp ? DownloadDspFirmware(port, kFast, FirmwareImage(bytes), info)
                       : DownloadUsbFirmware(port, kFast, FirmwareImage(bytes), info));
    if (c.refusal) {
      EXPECT_TRUE(port.sent.empty());
      EXPECT_EQ(info.shown, std::vector<std::string>{c.refusal});
    } else {
      ASSERT_FALSE(port.sent.empty());
      EXPECT_EQ(port.sent.front(), MakeWordFrame(c.dsp ? CMD_DSP_START : CMD_USB_START, 65535));
    }
  }
}

TEST(DspTransferTest, BlockSizeFollowsTheOutputReportLength) {
  struct Case {
    std::uint16_t reportLength;
    std::size_t blocks;
    std::size_t lastBlockBytes;
    int lastPercent;
  };
  for (const Case c : {Case{64, 972, 47, 101}, Case{63, 988, 58, 99}}) {
    const auto bytes = MakeImage(59278);
    FakeCommandPort port;
    port.outputReportLength = c.reportLength;
    port.respond = Accepting;
    RecordingInfoLine info;
    EXPECT_TRUE(DownloadDspFirmware(port, kFast, FirmwareImage(bytes), info));
    EXPECT_EQ(port.sent.front(),
              MakeWordFrame(CMD_DSP_START, static_cast<std::uint16_t>(c.blocks)));
    const auto blocks = port.SentWithCode(CMD_DSP_BLOCK);
    ASSERT_EQ(blocks.size(), c.blocks);
    const CommandFrame& last = blocks.back();
    EXPECT_TRUE(std::equal(last.begin() + 1, last.begin() + 1 + c.lastBlockBytes,
                           bytes.end() - c.lastBlockBytes));
    EXPECT_TRUE(std::all_of(last.begin() + 1 + c.lastBlockBytes, last.end(),
                            [](auto b) { return b == 0; }));
    const auto percentages = Percentages(info.shown, "Download Completion: DSP ");
    EXPECT_EQ(percentages.back(), c.lastPercent);
    if (c.reportLength == 64) {
      EXPECT_EQ(percentages[percentages.size() - 2], 101);
    }
  }
}

// The final status decides. An unanswered final query, an answer that is
// not a status (a late acknowledgement of the end command), or an adapter
// still ready for blocks (it never took the end command) is a failure.
TEST(DspTransferTest, WaitsForReadyThenJudgesTheFinalStatus) {
  struct Case {
    std::optional<ResponseFrame> final;  // nullopt: the final query is never answered
    bool result;
  };
  for (const Case c : {Case{Answer({RSP_UPGRADE_STATUS, UPGRADE_CHECKSUM_GOOD}), true},
                       Case{Answer({RSP_UPGRADE_STATUS, UPGRADE_IDLE}), true},
                       Case{Answer({RSP_UPGRADE_STATUS, UPGRADE_CHECKSUM_BAD}), false},
                       Case{Answer({RSP_UPGRADE_STATUS, UPGRADE_READY_4_BLOCK}), false},
                       Case{Answer({RSP_ACK}), false}, Case{std::nullopt, false}}) {
    const auto bytes = MakeImage(200);
    FakeCommandPort port;
    int statusQueries = 0;
    bool ended = false;
    port.respond = [&](const CommandFrame& frame) -> std::optional<ResponseFrame> {
      if (frame[0] == CMD_DSP_END) ended = true;
      if (frame[0] != 0x94) return Answer({RSP_ACK});
      if (!ended) {
        return Answer(
            {RSP_UPGRADE_STATUS, ++statusQueries <= 3 ? UPGRADE_BUSY : UPGRADE_READY_4_BLOCK});
      }
      return c.final;
    };
    RecordingInfoLine info;
    EXPECT_EQ(DownloadDspFirmware(port, kFast, FirmwareImage(bytes), info), c.result);
    // Start, three busy answers and the ready one, then the blocks.
    EXPECT_EQ(port.sent[4][0], 0x94);
    EXPECT_EQ(port.sent[5][0], CMD_DSP_BLOCK);
  }
}

TEST(DspTransferTest, RefusedFirstBlockEndsWithTheEndCommandAndFails) {
  const auto bytes = MakeImage(200);
  FakeCommandPort port;
  port.respond = [](const CommandFrame& frame) -> std::optional<ResponseFrame> {
    if (frame[0] == 0x94) return Answer({RSP_UPGRADE_STATUS, UPGRADE_READY_4_BLOCK});
    if (frame[0] == CMD_DSP_BLOCK) return Answer({RSP_ACK, 1});
    return Answer({RSP_ACK});
  };
  RecordingInfoLine info;
  EXPECT_FALSE(DownloadDspFirmware(port, kFast, FirmwareImage(bytes), info));
  EXPECT_EQ(info.shown, std::vector<std::string>{"DSP Error, 0x0 bytes are written"});
  EXPECT_EQ(port.SentWithCode(CMD_DSP_BLOCK).size(), 1u);
  EXPECT_EQ(port.sent.back(), MakeWordFrame(CMD_DSP_END, FirmwareImage(bytes).Checksum()));
}

TEST(DspTransferTest, EmptyPayloadStillStartsWaitsAndEnds) {
  const auto bytes = MakeImage(0);
  FakeCommandPort port;
  port.respond = Accepting;
  RecordingInfoLine info;
  EXPECT_TRUE(DownloadDspFirmware(port, kFast, FirmwareImage(bytes), info));
  ASSERT_EQ(port.sent.size(), 4u);
  EXPECT_EQ(port.sent[0], MakeWordFrame(CMD_DSP_START, 0));
  EXPECT_EQ(port.sent[1][0], 0x94);
  EXPECT_EQ(port.sent[2][0], CMD_DSP_END);
  EXPECT_EQ(port.sent[3][0], 0x94);
}

// A not-yet-ready adapter may answer UPGRADE_CHECKSUM_BAD, which is accepted
// at once, so polls go back to back: the wait is bounded by time (60 s from
// the accepted start), not by a number of polls.
TEST(DspTransferTest, StatusWaitIsBoundedByTimeNotByPolls) {
  constexpr int kForever = -1;
  for (const int checksumBadPolls : {2000, kForever}) {
    const auto bytes = MakeImage(200);
    FakeCommandPort port;
    port.exchangeTime = std::chrono::milliseconds(2);
    int statusQueries = 0;
    port.respond = [&](const CommandFrame& frame) -> std::optional<ResponseFrame> {
      if (frame[0] != 0x94) return Answer({RSP_ACK});
      const bool bad = checksumBadPolls == kForever || ++statusQueries <= checksumBadPolls;
      return Answer({RSP_UPGRADE_STATUS, bad ? UPGRADE_CHECKSUM_BAD : UPGRADE_CHECKSUM_GOOD});
    };
    RecordingInfoLine info;
    const Timing timing{.retryPause = std::chrono::milliseconds(1000),
                        .finishPause = std::chrono::milliseconds(0)};
    const bool result = DownloadDspFirmware(port, timing, FirmwareImage(bytes), info);
    if (checksumBadPolls != kForever) {
      EXPECT_TRUE(result);
      EXPECT_EQ(port.SentWithCode(CMD_DSP_BLOCK).size(), 4u);
      continue;
    }
    EXPECT_FALSE(result);
    EXPECT_EQ(port.SentWithCode(CMD_DSP_BLOCK).size(), 0u);
    EXPECT_EQ(info.shown, std::vector<std::string>{"DSP Error, the adapter stayed busy"});
    // Start at 2 ms, then 30,000 polls of 2 ms: the poll that ends at the limit is the last.
    EXPECT_EQ(port.SentWithCode(0x94).size(), 30000u);
    EXPECT_EQ(port.clock.Now(), std::chrono::milliseconds(60002));
  }
}

TEST(DspTransferTest, UnsupportedReportLengthsAreRefusedBeforeAnyFrame) {
  for (std::uint16_t length : {0, 3, 65}) {
    const auto bytes = MakeImage(200);
    FakeCommandPort port;
    port.outputReportLength = length;
    RecordingInfoLine info;
    EXPECT_FALSE(DownloadDspFirmware(port, kFast, FirmwareImage(bytes), info));
    EXPECT_TRUE(port.sent.empty());
    ASSERT_EQ(info.shown.size(), 1u);
    EXPECT_NE(info.shown[0].find("not supported"), std::string::npos);
  }
}

}  // namespace
}  // namespace kr35
