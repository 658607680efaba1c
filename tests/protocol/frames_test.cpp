#include "protocol/frames.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

namespace kr35 {
namespace {

using ::testing::Each;
using ::testing::ElementsAre;

std::vector<std::uint8_t> Bytes(const CommandFrame& frame, std::size_t first, std::size_t end) {
  return {frame.begin() + first, frame.begin() + end};
}

TEST(CommandFrames, WordAndQueryFramesAreLittleEndianAndZeroed) {
  const CommandFrame start = MakeWordFrame(CMD_USB_START, BlockCount(6021, kUsbBlockSize));
  EXPECT_THAT(Bytes(start, 0, 5), ElementsAre(0x0F, 0xBD, 0x00, 0, 0));
  EXPECT_THAT(Bytes(start, 3, kMaxCommandFrameLength), Each(0));
  EXPECT_THAT(Bytes(MakeWordFrame(CMD_DSP_END, 0xA1B2), 0, 3), ElementsAre(0x0E, 0xB2, 0xA1));
  const CommandFrame versions = MakeQueryFrame(CMD_VERSIONS);
  EXPECT_EQ(versions[0], 0x9C);
  EXPECT_THAT(Bytes(versions, 1, kMaxCommandFrameLength), Each(0));
  EXPECT_EQ(MakeQueryFrame(CMD_UPGRADE_STATUS)[0], 0x94);
}

TEST(CommandFrames, BlockFramesAreZeroPaddedAndBounded) {
  const std::vector<std::uint8_t> last{1, 2, 3, 4, 5};  // the 189th block of 6021 bytes
  const CommandFrame usb = MakeBlockFrame(CMD_USB_BLOCK, last);
  EXPECT_THAT(Bytes(usb, 0, 6), ElementsAre(0x11, 1, 2, 3, 4, 5));
  EXPECT_THAT(Bytes(usb, 6, kMaxCommandFrameLength), Each(0));
  // More data than a frame holds is cut at 61 bytes, never written past the frame.
  const CommandFrame dsp = MakeBlockFrame(CMD_DSP_BLOCK, std::vector<std::uint8_t>(100, 0xAB));
  EXPECT_THAT(Bytes(dsp, 1, kMaxCommandFrameLength), Each(0xAB));
}

TEST(CommandFrames, BlockCountRoundsUp) {
  EXPECT_EQ(BlockCount(6016, 32), 188u);
  EXPECT_EQ(BlockCount(6021, 32), 189u);
  EXPECT_EQ(BlockCount(0, 61), 0u);
  EXPECT_EQ(BlockCount(123, 61), 3u);
  EXPECT_EQ(BlockCount(65536 * 32 + 1, 32), 65537u);
  EXPECT_EQ(BlockCount(100, 0), 0u);
}

}  // namespace
}  // namespace kr35
