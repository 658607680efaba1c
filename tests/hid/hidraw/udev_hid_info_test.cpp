#include "hid/hidraw/udev_hid_info.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "hid/hidraw/hidraw_backend.h"
#include "hid/hidraw/hidraw_enumeration.h"

namespace kr35 {
namespace {

TEST(ParseHidIdTest, ReadsBusVendorAndProduct) {
  struct Case {
    const char* text;
    std::optional<HidId> expected;
  };
  const Case cases[] = {
      {"0003:00003C1F:00005E35", HidId{0x03, 0x3C1F, 0x5E35}},
      {"0005:0000046d:0000b01e", HidId{0x05, 0x046D, 0xB01E}},
      {"0006:00003C1F:00000B72", HidId{0x06, 0x3C1F, 0x0B72}},
      {"", std::nullopt},
      {"0003:00003C1F", std::nullopt},
      {"0003:00013C1F:00005E35", std::nullopt},  // vendor over 16 bits
      {"00003:00003C1F:00005E35", std::nullopt},
      {"0003:000003C1F:00005E35", std::nullopt},
      {"0003::00005E35", std::nullopt},
      {"0003:00003C1F:00005E35:", std::nullopt},
      {"0003:00003C1F:00005E35x", std::nullopt},
      {"0003:-0003C1F:00005E35", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const auto id = ParseHidId(c.text);
    ASSERT_EQ(id.has_value(), c.expected.has_value());
    if (id) {
      EXPECT_EQ(id->bus, c.expected->bus);
      EXPECT_EQ(id->vendorId, c.expected->vendorId);
      EXPECT_EQ(id->productId, c.expected->productId);
    }
  }
  EXPECT_EQ(ParseHex16("0100"), 0x0100);
  EXPECT_EQ(ParseHex16("ffff"), 0xFFFF);
  EXPECT_EQ(ParseHex16(""), std::nullopt);
  EXPECT_EQ(ParseHex16("10000"), std::nullopt);
}

TEST(HidrawEnumerationTest, NodesAreOrderedByNumber) {
  std::vector<std::string> names = {"hidraw10", "hidrawx", "hidraw2",
                                    "hidraw",   "hidraw0", "hidraw1"};
  std::sort(names.begin(), names.end(), HidrawNameLess);
  EXPECT_EQ(names, (std::vector<std::string>{"hidraw0", "hidraw1", "hidraw2", "hidraw10", "hidraw",
                                             "hidrawx"}));
}

TEST(HidrawBackendTest, OpenErrorsAreSortedForDiagnostics) {
  EXPECT_EQ(OpenErrorFromErrno(ENOENT), OpenError::kNotFound);
  EXPECT_EQ(OpenErrorFromErrno(ENODEV), OpenError::kNotFound);
  EXPECT_EQ(OpenErrorFromErrno(EACCES), OpenError::kPermissionDenied);
  EXPECT_EQ(OpenErrorFromErrno(EPERM), OpenError::kPermissionDenied);
  EXPECT_EQ(OpenErrorFromErrno(EBUSY), OpenError::kOther);
}

}  // namespace
}  // namespace kr35
