#include "hid/hidraw/report_framing.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "hid/hidraw/report_id_scan.h"

namespace kr35 {
namespace {

struct ScanCase {
  const char* name;
  std::vector<std::uint8_t> descriptor;
  bool usesReportIds;
};

TEST(ReportIdScanTest, FindsOnlyRealReportIdItems) {
  const ScanCase cases[] = {
      {"empty", {}, false},
      {"plain vendor collection",
       {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00, 0x26, 0xFF,
        0x00, 0x75, 0x08, 0x95, 0x40, 0x09, 0x01, 0x91, 0x02, 0xC0},
       false},
      {"report id 3", {0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x03, 0xC0}, true},
      {"report id with two data bytes", {0x86, 0x01, 0x00}, true},
      {"0x85 only as data of another item", {0x05, 0x85, 0x09, 0x85, 0x26, 0x85, 0x85}, false},
      {"0x85 inside a long item", {0xFE, 0x02, 0x10, 0x85, 0x01}, false},
      {"item cut short before a report id", {0x27, 0x00, 0x00, 0x85}, false},
      {"report id without its data byte", {0x09, 0x01, 0x85}, false},
      {"long item header cut short", {0xFE}, false},
  };
  for (const ScanCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DescriptorUsesReportIds(c.descriptor), c.usesReportIds);
  }
}

TEST(ReportFramingTest, UnnumberedReportsAreReadBehindAReportIdZero) {
  std::array<std::uint8_t, 4> buffer{9, 9, 9, 9};
  const auto numbered = InputReadTarget(buffer, true);
  EXPECT_EQ(numbered.data(), buffer.data());
  EXPECT_EQ(numbered.size(), 4u);
  EXPECT_EQ(FinishInputReport(buffer, true, 3), 3u);
  EXPECT_EQ(buffer[0], 9) << "a numbered report keeps the id the device sent";

  const auto unnumbered = InputReadTarget(buffer, false);
  EXPECT_EQ(unnumbered.data(), buffer.data() + 1);
  EXPECT_EQ(unnumbered.size(), 3u);
  EXPECT_EQ(FinishInputReport(buffer, false, 2), 3u);
  EXPECT_EQ(buffer[0], 0);

  EXPECT_TRUE(InputReadTarget({}, false).empty());
}

}  // namespace
}  // namespace kr35
