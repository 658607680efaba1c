#include "firmware/firmware_image.h"

#include <gtest/gtest.h>

#include <vector>

#include "firmware/builtin_images.h"

namespace kr35 {
namespace {

TEST(ComputeChecksum, WrapsModulo65536) {
  const std::vector<std::uint8_t> payload(300, 0xFF);  // 76500
  EXPECT_EQ(ComputeChecksum(payload), 0x2AD4);
  EXPECT_EQ(ComputeChecksum({}), 0);
}

TEST(FirmwareImage, ReadsLittleEndianHeader) {
  const std::vector<std::uint8_t> bytes = {3, 0, 0, 0, 0x06, 0x00, 0x07, 0x01, 1, 2, 3};
  const FirmwareImage image(bytes);
  EXPECT_EQ(image.PayloadLength(), 3u);
  EXPECT_EQ(image.Checksum(), 6);
  EXPECT_EQ(image.Version(), 0x0107);
  EXPECT_EQ(image.Payload().size(), 3u);
  EXPECT_TRUE(image.IsComplete());
  EXPECT_TRUE(image.ChecksumMatches());
}

TEST(FirmwareImage, PayloadNeverReachesPastTheBytesGiven) {
  const std::vector<std::uint8_t> truncated = {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 9, 9};
  const FirmwareImage image(truncated);
  EXPECT_EQ(image.PayloadLength(), 0xFFFFFFFFu);
  EXPECT_EQ(image.Payload().size(), 2u);
  EXPECT_FALSE(image.IsComplete());
  EXPECT_FALSE(image.ChecksumMatches());

  const std::vector<std::uint8_t> tooShort = {1, 0, 0, 0, 0, 0, 0};
  const FirmwareImage headless(tooShort);
  EXPECT_FALSE(headless.HasHeader());
  EXPECT_EQ(headless.PayloadLength(), 0u);
  EXPECT_TRUE(headless.Payload().empty());
  EXPECT_FALSE(headless.IsComplete());
}

TEST(FirmwareImage, WrongChecksumIsNoticed) {
  const std::vector<std::uint8_t> bytes = {1, 0, 0, 0, 0x05, 0x00, 0, 0, 4};
  EXPECT_FALSE(FirmwareImage(bytes).ChecksumMatches());
}

struct BuiltIn {
  int id;
  std::size_t size;
  std::uint32_t payloadLength;
  std::uint16_t checksum;
  std::uint16_t version;
  char part;
  friend void PrintTo(const BuiltIn& b, std::ostream* os) { *os << "image " << b.id; }
};

class BuiltInImage : public testing::TestWithParam<BuiltIn> {};

TEST_P(BuiltInImage, HeaderMatchesPayload) {
  const BuiltIn& want = GetParam();
  const auto bytes = LoadBuiltInImage(want.id);
  ASSERT_EQ(bytes.size(), want.size);
  const FirmwareImage image(bytes);
  EXPECT_EQ(image.PayloadLength(), want.payloadLength);
  EXPECT_EQ(image.Checksum(), want.checksum);
  EXPECT_EQ(image.Version(), want.version);
  EXPECT_TRUE(image.ChecksumMatches());

  // The payload names its part and repeats the version where the adapter reads it.
  const auto payload = image.Payload();
  EXPECT_EQ(std::string(payload.begin(), payload.begin() + 4), "KR35");
  EXPECT_EQ(payload[4], want.part);
  EXPECT_EQ(payload[kPayloadVersionOffset] | payload[kPayloadVersionOffset + 1] << 8, want.version);
}

INSTANTIATE_TEST_SUITE_P(Images, BuiltInImage,
                         testing::Values(BuiltIn{kUsbImageId, 6029, 6021, 0x2C7F, 0x0104, 'U'},
                                         BuiltIn{kDspImageId, 59286, 59278, 0x5269, 0x0107, 'D'}));

TEST(LoadBuiltInImage, UnknownIdGivesNothing) {
  EXPECT_TRUE(LoadBuiltInImage(0).empty());
  EXPECT_TRUE(LoadBuiltInImage(132).empty());
}

}  // namespace
}  // namespace kr35
