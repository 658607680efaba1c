#include "protocol/frames.h"

#include <gtest/gtest.h>

namespace kr35 {
namespace {

struct DecodeCase {
  ResponseFrame response;
  const char* text;
  bool accepted;
};

class DecodeResponseTest : public ::testing::TestWithParam<DecodeCase> {};

// The text is replaced even where it ends up empty, so a stale text never survives.
TEST_P(DecodeResponseTest, ProducesTextAndVerdict) {
  const DecodeCase& c = GetParam();
  std::string text = "stale";
  EXPECT_EQ(DecodeResponse(c.response, text), c.accepted);
  EXPECT_EQ(text, c.text);
}

INSTANTIATE_TEST_SUITE_P(
    AllCodes, DecodeResponseTest,
    ::testing::Values(
        DecodeCase{{RSP_ACK, 0, 0, 0, 0}, "RSP_ACK", true},
        DecodeCase{{RSP_NAK_CMD, 0, 0, 0, 0}, "RSP_NAK_CMD", true},
        DecodeCase{{RSP_NAK_DSP, 0, 0, 0, 0}, "RSP_NAK_DSP", false},
        DecodeCase{{RSP_NAK_BUSY, 0, 0, 0, 0}, "RSP_NAK_BUSY", true},
        DecodeCase{{RSP_VERSIONS, 0x04, 0x01, 0x07, 0x01}, "USB 0104, DSP 0107", true},
        DecodeCase{{RSP_VERSIONS, 0xFF, 0xFF, 0x34, 0x92}, "USB ffff, DSP 9234", true},
        DecodeCase{
            {RSP_UPGRADE_STATUS, UPGRADE_READY_4_BLOCK, 0, 0, 0}, "UPGRADE_READY_4_BLOCK", true},
        DecodeCase{{RSP_UPGRADE_STATUS, UPGRADE_BUSY, 0, 0, 0}, "UPGRADE_BUSY", false},
        DecodeCase{
            {RSP_UPGRADE_STATUS, UPGRADE_CHECKSUM_BAD, 0, 0, 0}, "UPGRADE_CHECKSUM_BAD", true},
        DecodeCase{{RSP_UPGRADE_STATUS, 9, 0, 0, 0}, "", true},
        DecodeCase{{RSP_UPGRADE_STATUS, 0x82, 0, 0, 0}, "", true},
        DecodeCase{{RSP_HEADSET_STATUS, 0x04, 0, 0, 0}, " P-TOP ", true},
        DecodeCase{{RSP_HEADSET_STATUS, 0x05, 0, 0, 0}, "No Headset", true},
        DecodeCase{{RSP_HEADSET_STATUS, 0x06, 0, 0, 0}, " H-TOP ", true},
        DecodeCase{{RSP_HEADSET_STATUS, 0x07, 0, 0, 0}, "HEADSET_STATUS 7", true},
        DecodeCase{{RSP_HEADSET_STATUS, 0x83, 0, 0, 0}, "HEADSET_STATUS FFFFFF83", true},
        DecodeCase{{RSP_TWO_BIT_STATE, 0x06, 0, 0, 0}, "", false},
        DecodeCase{{RSP_TWO_BIT_STATE, 0x03, 0, 0, 0}, "", true},
        DecodeCase{{RSP_DATA_PAIR_4, 0x12, 0x7F, 0, 0}, "0x12, 0x7f ", true},
        DecodeCase{{RSP_DATA_PAIR_7, 0xFF, 0x01, 0, 0}, "0xffffffff, 0x1 ", true},
        DecodeCase{{RSP_DATA_PAIR_27, 0x00, 0x80, 0, 0}, "0x0, 0xffffff80 ", true},
        DecodeCase{{RSP_SINGLE_VALUE_5, 0xFE, 0, 0, 0}, "-2 ", true},
        DecodeCase{{RSP_SINGLE_VALUE_5, 0x7F, 0, 0, 0}, "127 ", true},
        // Codes the decoder does not know, also those above 0x7F.
        DecodeCase{{0x90, 0, 0, 0, 0}, "", true}, DecodeCase{{0x82, 0, 0, 0, 0}, "", true},
        DecodeCase{{6, 0xFF, 0, 0, 0}, "", true}));

TEST(DescribeUpgradeStatus, UnlistedStatusKeepsTheText) {
  std::string text = "kept";
  EXPECT_TRUE(DescribeUpgradeStatus(9, text));
  EXPECT_EQ(text, "kept");
}

}  // namespace
}  // namespace kr35
