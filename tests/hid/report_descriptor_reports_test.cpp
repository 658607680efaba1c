// Reading and writing reports through parsed descriptors: the button usages
// that are on, and value arrays in and out of reports.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "hid/report_descriptor_parser.h"
#include "hid/report_descriptor_samples.h"

namespace kr35 {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::unique_ptr<PreparsedData> Adapter() {
  auto data = ParseReportDescriptor(test::kAdapterDescriptor);
  EXPECT_NE(data, nullptr);
  return data;
}

// Input report 1 of the adapter, padded to the input report length.
Bytes ButtonReport(std::uint8_t code, std::uint8_t bits) {
  return {1, code, bits, 0, 0, 0};
}

TEST(ReportDescriptorUsages, ReportsTheButtonsThatAreOn) {
  auto data = Adapter();
  const struct {
    std::uint8_t bits;
    std::vector<std::uint16_t> usages;
  } cases[] = {
      {0x00, {}},
      {0x01, {0xE2}},
      {0x06, {0xE9, 0xEA}},
      {0xFF, {0xE2, 0xE9, 0xEA}},  // padding bits set do not count
  };
  for (const auto& c : cases) {
    std::array<UsageAndPage, 3> list{};
    std::uint32_t length = list.size();
    ASSERT_EQ(data->GetUsagesEx(HidReportType::kInput, 0, list.data(), length,
                                ButtonReport(0x48, c.bits)),
              HIDP_STATUS_SUCCESS);
    ASSERT_EQ(length, c.usages.size());
    for (std::size_t i = 0; i < c.usages.size(); ++i) {
      EXPECT_EQ(list[i].usage, c.usages[i]);
      EXPECT_EQ(list[i].usagePage, 0x0C);
    }
  }
}

TEST(ReportDescriptorUsages, FailsOnTooSmallListWrongIdShortReportAndNoButtons) {
  auto data = Adapter();
  std::array<UsageAndPage, 3> list{};
  std::uint32_t length = 2;
  EXPECT_EQ(data->GetUsagesEx(HidReportType::kInput, 0, list.data(), length, ButtonReport(0, 7)),
            HIDP_STATUS_BUFFER_TOO_SMALL);
  EXPECT_EQ(length, 3U);

  length = 3;
  const Bytes response = {3, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(data->GetUsagesEx(HidReportType::kInput, 0, list.data(), length, response),
            HIDP_STATUS_INCOMPATIBLE_REPORT_ID);
  EXPECT_EQ(data->GetUsagesEx(HidReportType::kInput, 0, list.data(), length, Bytes{1, 0, 7}),
            HIDP_STATUS_INVALID_REPORT_LENGTH);
  Bytes output(64, 0);
  EXPECT_EQ(data->GetUsagesEx(HidReportType::kOutput, 0, list.data(), length, output),
            HIDP_STATUS_USAGE_NOT_FOUND);
  EXPECT_EQ(data->GetUsagesEx(HidReportType::kInput, 0, list.data(), length, Bytes{}),
            HIDP_STATUS_INVALID_REPORT_LENGTH);
}

TEST(ReportDescriptorUsages, ArrayIndicesMapThroughRangesAndUsageLists) {
  // clang-format off
  auto data = ParseReportDescriptor(Bytes{
      0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01,  // Consumer Control collection
      0x85, 0x01,
      // Two 16-bit indices 1..0x3FF over usages 1..0x3FF.
      0x15, 0x01, 0x26, 0xFF, 0x03, 0x19, 0x01, 0x2A, 0xFF, 0x03, 0x75, 0x10, 0x95, 0x02,
      0x81, 0x00,
      // One 4-bit index 1..3 over a list of usages.
      0x15, 0x01, 0x25, 0x03, 0x09, 0xE2, 0x09, 0xE9, 0x09, 0xEA, 0x75, 0x04, 0x95, 0x01,
      0x81, 0x00,
      0x95, 0x01, 0x81, 0x03,  // 4 bits of padding
      0xC0,
  });
  // clang-format on
  ASSERT_NE(data, nullptr);
  const struct {
    Bytes report;
    std::vector<std::uint16_t> usages;
  } cases[] = {
      {{1, 0, 0, 0, 0, 0}, {}},
      {{1, 0xE2, 0, 0xCD, 0x00, 0x02}, {0xE2, 0xCD, 0xE9}},
      {{1, 0x00, 0x04, 0xFF, 0x03, 0x03}, {0x3FF, 0xEA}},  // 0x400 is out of range
      {{1, 0, 0, 0, 0, 0x0F}, {}},                         // 15 is outside 1..3
  };
  for (const auto& c : cases) {
    std::array<UsageAndPage, 4> list{};
    std::uint32_t length = list.size();
    ASSERT_EQ(data->GetUsagesEx(HidReportType::kInput, 0, list.data(), length, c.report),
              HIDP_STATUS_SUCCESS);
    ASSERT_EQ(length, c.usages.size());
    for (std::size_t i = 0; i < c.usages.size(); ++i) EXPECT_EQ(list[i].usage, c.usages[i]);
  }
}

TEST(ReportDescriptorValueArray, CopiesTheResponseOnlyFromItsOwnReportWhenItFits) {
  auto data = Adapter();
  const Bytes response = {3, 0x11, 0x22, 0x33, 0x44, 0x55};
  std::array<std::uint8_t, 5> latch{};
  EXPECT_EQ(data->GetUsageValueArray(HidReportType::kInput, 0xFF00, 0, 4, latch, response),
            HIDP_STATUS_SUCCESS);
  EXPECT_EQ(latch, (std::array<std::uint8_t, 5>{0x11, 0x22, 0x33, 0x44, 0x55}));

  latch.fill(0xAA);
  EXPECT_EQ(
      data->GetUsageValueArray(HidReportType::kInput, 0xFF00, 0, 4, latch, ButtonReport(0x48, 7)),
      HIDP_STATUS_INCOMPATIBLE_REPORT_ID);
  std::array<std::uint8_t, 4> small{0xAA, 0xAA, 0xAA, 0xAA};
  EXPECT_EQ(data->GetUsageValueArray(HidReportType::kInput, 0xFF00, 0, 4, small, response),
            HIDP_STATUS_BUFFER_TOO_SMALL);
  EXPECT_EQ(data->GetUsageValueArray(HidReportType::kInput, 0xFF00, 0, 9, latch, response),
            HIDP_STATUS_USAGE_NOT_FOUND);
  EXPECT_EQ(data->GetUsageValueArray(HidReportType::kInput, 0xFF00, 0, 4, latch,
                                     Bytes(response.begin(), response.end() - 1)),
            HIDP_STATUS_INVALID_REPORT_LENGTH);
  EXPECT_EQ(latch, (std::array<std::uint8_t, 5>{0xAA, 0xAA, 0xAA, 0xAA, 0xAA}));
  EXPECT_EQ(small, (std::array<std::uint8_t, 4>{0xAA, 0xAA, 0xAA, 0xAA}));
}

TEST(ReportDescriptorValueArray, SixByteResponseDoesNotFitAFiveByteLatch) {
  Bytes descriptor = test::kAdapterDescriptor;
  // Report Count (5) of the response becomes 6.
  const Bytes responseItem = {0x95, 0x05, 0x09, 0x04};
  auto at =
      std::search(descriptor.begin(), descriptor.end(), responseItem.begin(), responseItem.end());
  ASSERT_NE(at, descriptor.end());
  at[1] = 0x06;
  auto data = ParseReportDescriptor(descriptor);
  ASSERT_NE(data, nullptr);
  std::array<std::uint8_t, 5> latch{};
  const Bytes response = {3, 1, 2, 3, 4, 5, 6};
  EXPECT_EQ(data->GetUsageValueArray(HidReportType::kInput, 0xFF00, 0, 4, latch, response),
            HIDP_STATUS_BUFFER_TOO_SMALL);
  EXPECT_EQ(latch, (std::array<std::uint8_t, 5>{}));
}

TEST(ReportDescriptorValueArray, SetWritesTheCommandAndIdAndRoundTrips) {
  auto data = Adapter();
  Bytes frame(62);
  for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<std::uint8_t>(i + 1);
  Bytes report(64, 0);
  report[63] = 0x77;  // the byte after the array keeps its value
  ASSERT_EQ(data->SetUsageValueArray(HidReportType::kOutput, 0xFF00, 0, 2, frame, report),
            HIDP_STATUS_SUCCESS);
  EXPECT_EQ(report[0], 2);
  EXPECT_TRUE(std::equal(frame.begin(), frame.end(), report.begin() + 1));
  EXPECT_EQ(report[63], 0x77);

  Bytes back(62);
  ASSERT_EQ(data->GetUsageValueArray(HidReportType::kOutput, 0xFF00, 0, 2, back, report),
            HIDP_STATUS_SUCCESS);
  EXPECT_EQ(back, frame);

  const Bytes before = report;
  EXPECT_EQ(data->SetUsageValueArray(HidReportType::kOutput, 0xFF00, 0, 2,
                                     Bytes(frame.begin(), frame.end() - 1), report),
            HIDP_STATUS_BUFFER_TOO_SMALL);
  report[0] = 5;  // a report being built for another id is left alone
  EXPECT_EQ(data->SetUsageValueArray(HidReportType::kOutput, 0xFF00, 0, 2, frame, report),
            HIDP_STATUS_INCOMPATIBLE_REPORT_ID);
  report[0] = 2;
  EXPECT_EQ(report, before);
  EXPECT_EQ(data->SetUsageValueArray(HidReportType::kOutput, 0xFF00, 0, 2, frame,
                                     std::span(report).first(63)),
            HIDP_STATUS_INVALID_REPORT_LENGTH);
}

TEST(ReportDescriptorValueArray, UnalignedArraysCopyBitsAndKeepNeighbours) {
  // No report ids: 4 bits of padding, three 12-bit values, 12 bits of padding.
  // clang-format off
  auto data = ParseReportDescriptor(Bytes{
      0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01,
      0x75, 0x04, 0x95, 0x01, 0x91, 0x03,
      0x15, 0x00, 0x26, 0xFF, 0x0F, 0x75, 0x0C, 0x95, 0x03, 0x09, 0x07, 0x91, 0x02,
      0x75, 0x0C, 0x95, 0x01, 0x91, 0x03,
      0xC0,
  });
  // clang-format on
  ASSERT_NE(data, nullptr);
  HidpCaps caps;
  data->GetCaps(caps);
  ASSERT_EQ(caps.outputReportByteLength, 8);  // the 0 id byte and 52 bits

  Bytes report = {0, 0x0F, 0, 0, 0, 0, 0xFF, 0x0F};     // padding bits set
  const Bytes values = {0x21, 0x43, 0x65, 0x87, 0x09};  // 0x321, 0x654, 0x987 (36 bits)
  ASSERT_EQ(data->SetUsageValueArray(HidReportType::kOutput, 0xFF00, 0, 7, values, report),
            HIDP_STATUS_SUCCESS);
  EXPECT_EQ(report, (Bytes{0, 0x1F, 0x32, 0x54, 0x76, 0x98, 0xFF, 0x0F}));

  Bytes back(5, 0xEE);
  ASSERT_EQ(data->GetUsageValueArray(HidReportType::kOutput, 0xFF00, 0, 7, back, report),
            HIDP_STATUS_SUCCESS);
  EXPECT_EQ(back, values);  // the unused high bits of the last byte are cleared
}

}  // namespace
}  // namespace kr35
