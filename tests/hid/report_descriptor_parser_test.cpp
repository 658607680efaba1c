// Parsing: capabilities, their order and fields, report lengths, and
// rejection of malformed or over-limit descriptors.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "hid/report_descriptor_parser.h"
#include "hid/report_descriptor_samples.h"

namespace kr35 {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::vector<HidpCapability> ValueCaps(const PreparsedData& data, HidReportType type) {
  std::vector<HidpCapability> caps(16);
  auto count = static_cast<std::uint16_t>(caps.size());
  data.GetSpecificValueCaps(type, 0, 0, 0, caps.data(), count);
  caps.resize(count);
  return caps;
}

std::vector<HidpCapability> ButtonCaps(const PreparsedData& data, HidReportType type) {
  std::vector<HidpCapability> caps(16);
  auto count = static_cast<std::uint16_t>(caps.size());
  data.GetSpecificButtonCaps(type, 0, 0, 0, caps.data(), count);
  caps.resize(count);
  return caps;
}

// Wraps report items in an application collection on the vendor page.
Bytes InCollection(const Bytes& items) {
  Bytes d = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01};
  d.insert(d.end(), items.begin(), items.end());
  d.push_back(0xC0);
  return d;
}

TEST(ReportDescriptorParser, AdapterCapsAndLengthsCountTheReportIdByte) {
  auto data = ParseReportDescriptor(test::kAdapterDescriptor);
  ASSERT_NE(data, nullptr);
  HidpCaps caps;
  ASSERT_EQ(data->GetCaps(caps), HIDP_STATUS_SUCCESS);
  EXPECT_EQ(caps.usagePage, 0xFF00);
  EXPECT_EQ(caps.usage, 1);
  EXPECT_EQ(caps.outputReportByteLength, 64);  // id + 62 + 1
  EXPECT_EQ(caps.inputReportByteLength, 6);    // id + 5, the longer of reports 3 and 1
  EXPECT_EQ(caps.featureReportByteLength, 0);
  EXPECT_EQ(caps.numberOutputValueCaps, 2);
  EXPECT_EQ(caps.numberOutputButtonCaps, 0);
  EXPECT_EQ(caps.numberInputValueCaps, 2);
  EXPECT_EQ(caps.numberInputButtonCaps, 3);
  EXPECT_EQ(caps.numberFeatureValueCaps + caps.numberFeatureButtonCaps, 0);
}

TEST(ReportDescriptorParser, AdapterCapsComeInDescriptorOrderWithTheirFields) {
  auto data = ParseReportDescriptor(test::kAdapterDescriptor);
  ASSERT_NE(data, nullptr);

  auto out = ValueCaps(*data, HidReportType::kOutput);
  ASSERT_EQ(out.size(), 2U);
  EXPECT_EQ(out[0].usagePage, 0xFF00);
  EXPECT_EQ(out[0].usage, 2);
  EXPECT_FALSE(out[0].isRange);
  EXPECT_EQ(out[0].reportId, 2);
  EXPECT_EQ(out[0].bitSize, 8);
  EXPECT_EQ(out[0].reportCount, 62);
  EXPECT_EQ(out[0].logicalMax, 255);
  EXPECT_EQ(out[0].linkCollection, 0);
  EXPECT_EQ(out[1].usage, 3);
  EXPECT_EQ(out[1].reportCount, 1);

  auto in = ValueCaps(*data, HidReportType::kInput);
  ASSERT_EQ(in.size(), 2U);
  EXPECT_EQ(in[0].reportId, 1);
  EXPECT_EQ(in[0].usagePage, 0xFF00);  // from the 4-byte usage, not the consumer page
  EXPECT_EQ(in[0].usage, 5);
  EXPECT_EQ(in[0].linkCollection, 1);
  EXPECT_EQ(in[1].reportId, 3);
  EXPECT_EQ(in[1].usage, 4);
  EXPECT_EQ(in[1].reportCount, 5);
  EXPECT_EQ(in[1].linkCollection, 0);

  auto buttons = ButtonCaps(*data, HidReportType::kInput);
  ASSERT_EQ(buttons.size(), 3U);
  const std::uint16_t expected[] = {0xE2, 0xE9, 0xEA};
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    EXPECT_EQ(buttons[i].usagePage, 0x0C);
    EXPECT_EQ(buttons[i].usage, expected[i]);
    EXPECT_EQ(buttons[i].reportId, 1);
    EXPECT_EQ(buttons[i].linkCollection, 1);
    EXPECT_EQ(buttons[i].logicalMax, 1);
  }
}

TEST(ReportDescriptorParser, SpecificCapsFilterAndReportRoom) {
  auto data = ParseReportDescriptor(test::kAdapterDescriptor);
  ASSERT_NE(data, nullptr);
  HidpCapability caps[4];
  struct Case {
    std::uint16_t page, link, usage, room;
    HidpStatus status;
    std::uint16_t filled;
  };
  const Case cases[] = {
      {0, 0, 0, 4, HIDP_STATUS_SUCCESS, 3},
      {0x0C, 0, 0, 4, HIDP_STATUS_SUCCESS, 3},
      {0x0C, 1, 0xE9, 4, HIDP_STATUS_SUCCESS, 1},
      {0, 0, 0, 2, HIDP_STATUS_BUFFER_TOO_SMALL, 2},
      {0, 0, 0, 0, HIDP_STATUS_BUFFER_TOO_SMALL, 0},
      {0xFF00, 0, 0, 4, HIDP_STATUS_USAGE_NOT_FOUND, 0},
      {0, 5, 0, 4, HIDP_STATUS_USAGE_NOT_FOUND, 0},
  };
  for (const Case& c : cases) {
    std::uint16_t count = c.room;
    EXPECT_EQ(
        data->GetSpecificButtonCaps(HidReportType::kInput, c.page, c.link, c.usage, caps, count),
        c.status);
    EXPECT_EQ(count, c.filled);
  }
  std::uint16_t count = 4;
  EXPECT_EQ(data->GetSpecificValueCaps(static_cast<HidReportType>(7), 0, 0, 0, caps, count),
            HIDP_STATUS_INVALID_REPORT_TYPE);
  EXPECT_EQ(count, 0);
}

TEST(ReportDescriptorParser, DescriptorWithoutReportIdsStillCountsByteZero) {
  auto data = ParseReportDescriptor(InCollection({
      0x75, 0x08, 0x95, 0x04, 0x09, 0x10, 0x81, 0x02,  // 4 input bytes
      0x95, 0x03, 0x09, 0x11, 0x91, 0x02,              // 3 output bytes
      0x75, 0x01, 0x95, 0x0C, 0xB1, 0x03,              // 12 padding feature bits
  }));
  ASSERT_NE(data, nullptr);
  HidpCaps caps;
  data->GetCaps(caps);
  EXPECT_EQ(caps.inputReportByteLength, 5);
  EXPECT_EQ(caps.outputReportByteLength, 4);
  EXPECT_EQ(caps.featureReportByteLength, 3);  // padding takes bits but gives no caps
  EXPECT_EQ(caps.numberFeatureValueCaps + caps.numberFeatureButtonCaps, 0);
  EXPECT_EQ(ValueCaps(*data, HidReportType::kInput).at(0).reportId, 0);
}

TEST(ReportDescriptorParser, VariableItemsSplitUsagesAndArraysGiveOneCapPerUsage) {
  // clang-format off
  auto data = ParseReportDescriptor(InCollection({
      // Two usages over four 8-bit values: 20 once, 21 for the remaining three.
      0x75, 0x08, 0x95, 0x04, 0x09, 0x20, 0x09, 0x21, 0x81, 0x02,
      // Eight 1-bit buttons from a usage range: one range button cap.
      0x05, 0x09, 0x19, 0x01, 0x29, 0x08, 0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x08,
      0x81, 0x02,
      // An array of two indices over a usage range and a usage.
      0x19, 0x10, 0x29, 0x13, 0x09, 0x30, 0x25, 0x05, 0x75, 0x08, 0x95, 0x02, 0x81, 0x00,
      // Extra usages beyond the elements of a variable item are dropped.
      0x95, 0x01, 0x09, 0x40, 0x09, 0x41, 0x81, 0x02,
  }));
  // clang-format on
  ASSERT_NE(data, nullptr);
  auto values = ValueCaps(*data, HidReportType::kInput);
  ASSERT_EQ(values.size(), 3U);
  EXPECT_EQ(values[0].usage, 0x20);
  EXPECT_EQ(values[0].reportCount, 1);
  EXPECT_EQ(values[1].usage, 0x21);
  EXPECT_EQ(values[1].reportCount, 3);
  EXPECT_EQ(values[2].usage, 0x40);

  auto buttons = ButtonCaps(*data, HidReportType::kInput);
  ASSERT_EQ(buttons.size(), 3U);
  EXPECT_TRUE(buttons[0].isRange);
  EXPECT_EQ(buttons[0].usagePage, 9);
  EXPECT_EQ(buttons[0].usageMin, 1);
  EXPECT_EQ(buttons[0].usageMax, 8);
  EXPECT_EQ(buttons[0].reportCount, 8);
  EXPECT_TRUE(buttons[1].isRange);
  EXPECT_EQ(buttons[1].usageMin, 0x10);
  EXPECT_EQ(buttons[1].usageMax, 0x13);
  EXPECT_EQ(buttons[1].reportCount, 2);
  EXPECT_FALSE(buttons[2].isRange);
  EXPECT_EQ(buttons[2].usage, 0x30);
}

TEST(ReportDescriptorParser, GlobalsFollowPushPopAndLogicalMaxSignedness) {
  auto data = ParseReportDescriptor(InCollection({
      0x15, 0x00, 0x25, 0xFF,  // 0..0xFF: the maximum reads as 255
      0x75, 0x08, 0x95, 0x01, 0x09, 0x01, 0x81, 0x02,
      0xA4,                    // Push
      0x15, 0x80, 0x25, 0xFF,  // -128..-1
      0x75, 0x10, 0x09, 0x02, 0x81, 0x02,
      0xB4,  // Pop: back to 0..255, 8 bits
      0x09, 0x03, 0x81, 0x02,
  }));
  ASSERT_NE(data, nullptr);
  auto caps = ValueCaps(*data, HidReportType::kInput);
  ASSERT_EQ(caps.size(), 3U);
  EXPECT_EQ(caps[0].logicalMax, 255);
  EXPECT_EQ(caps[1].logicalMin, -128);
  EXPECT_EQ(caps[1].logicalMax, -1);
  EXPECT_EQ(caps[1].bitSize, 16);
  EXPECT_EQ(caps[2].logicalMax, 255);
  EXPECT_EQ(caps[2].bitSize, 8);
}

TEST(ReportDescriptorParser, DelimitedUsagesKeepTheFirstAndLongItemsAreSkipped) {
  auto data = ParseReportDescriptor(InCollection({
      0xA9, 0x01, 0x09, 0x31, 0x09, 0x32, 0xA9, 0x00,  // Delimiter open, two usages, close
      0xFE, 0x02, 0x10, 0xAA, 0xBB,                    // a long item
      0x75, 0x08, 0x95, 0x01, 0x81, 0x02,
  }));
  ASSERT_NE(data, nullptr);
  auto caps = ValueCaps(*data, HidReportType::kInput);
  ASSERT_EQ(caps.size(), 1U);
  EXPECT_EQ(caps[0].usage, 0x31);
}

Bytes Nested(std::size_t depth) {
  Bytes d;
  for (std::size_t i = 0; i < depth; ++i) d.insert(d.end(), {0x09, 0x01, 0xA1, 0x02});
  d.insert(d.end(), {0x75, 0x08, 0x95, 0x01, 0x09, 0x01, 0x81, 0x02});
  d.insert(d.end(), depth, 0xC0);
  return d;
}

// Report Size 8, Report Count n: one input item of n bytes.
Bytes InputBytes(std::uint16_t n) {
  return InCollection({0x75, 0x08, 0x96, static_cast<std::uint8_t>(n & 0xFF),
                       static_cast<std::uint8_t>(n >> 8), 0x09, 0x01, 0x81, 0x02});
}

TEST(ReportDescriptorParser, LimitsAcceptTheBoundAndRejectBeyondIt) {
  const Bytes item = {0x75, 0x08, 0x95, 0x01, 0x09, 0x01, 0x81, 0x02};
  EXPECT_NE(ParseReportDescriptor(Nested(32)), nullptr);
  EXPECT_EQ(ParseReportDescriptor(Nested(33)), nullptr);
  EXPECT_NE(ParseReportDescriptor(InputBytes(4095)), nullptr);  // 4096 with the id byte
  EXPECT_EQ(ParseReportDescriptor(InputBytes(4096)), nullptr);

  Bytes padded = InCollection(item);
  // 0x00 is a main item of an unknown tag, which is ignored: a 4096-byte descriptor.
  padded.insert(padded.begin(), 4096 - padded.size(), 0x00);
  EXPECT_NE(ParseReportDescriptor(padded), nullptr);
  padded.insert(padded.begin(), 0x00);
  EXPECT_EQ(ParseReportDescriptor(padded), nullptr);

  Bytes pushes(8, 0xA4);
  pushes.insert(pushes.end(), 8, 0xB4);
  pushes.insert(pushes.end(), item.begin(), item.end());
  EXPECT_NE(ParseReportDescriptor(InCollection(pushes)), nullptr);
  pushes.insert(pushes.begin(), 0xA4);
  pushes.push_back(0xB4);
  EXPECT_EQ(ParseReportDescriptor(InCollection(pushes)), nullptr);
}

TEST(ReportDescriptorParser, MalformedDescriptorsAreRejected) {
  const Bytes item = {0x75, 0x08, 0x95, 0x01, 0x09, 0x01, 0x81, 0x02};
  auto with = [&](Bytes prefix) {
    prefix.insert(prefix.end(), item.begin(), item.end());
    return InCollection(prefix);
  };
  Bytes truncatedLong = InCollection(item);
  truncatedLong.insert(truncatedLong.end(), {0xFE, 0x05, 0x10, 0x01});
  Bytes bothIdAndNone = InCollection(item);
  bothIdAndNone.insert(bothIdAndNone.end() - 1, {0x85, 0x01, 0x09, 0x02, 0x81, 0x02});
  Bytes popRestoresNoId = InCollection({0x75, 0x08, 0x95, 0x01, 0xA4, 0x85, 0x01, 0x09, 0x01, 0x81,
                                        0x02, 0xB4, 0x09, 0x02, 0x81, 0x02});
  Bytes unclosed = InCollection(item);
  unclosed.pop_back();
  const struct {
    std::string name;
    Bytes descriptor;
  } cases[] = {
      {"empty", {}},
      {"only a collection", {0x09, 0x01, 0xA1, 0x01, 0xC0}},
      {"truncated short item", {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x26, 0xFF}},
      {"truncated long item", truncatedLong},
      {"unclosed collection", unclosed},
      {"end collection without collection",
       [&] {
         Bytes d = InCollection(item);
         d.push_back(0xC0);
         return d;
       }()},
      {"pop without push", with({0xB4})},
      {"report id 0", with({0x85, 0x00})},
      {"report id above 255", with({0x86, 0x00, 0x01})},
      {"items with and without report ids", bothIdAndNone},
      {"pop back to no report id", popRestoresNoId},
      {"usage minimum without maximum", with({0x19, 0x01})},
      {"usage minimum above maximum", with({0x19, 0x05, 0x29, 0x01})},
      {"extended range over two pages", with({0x1B, 1, 0, 9, 0, 0x2B, 5, 0, 0x0C, 0})},
      {"unclosed delimiter", with({0xA9, 0x01})},
      {"report size above 256",
       InCollection({0x76, 0x01, 0x01, 0x95, 0x01, 0x09, 0x01, 0x81, 0x02})},
      {"array index wider than 32 bits",
       InCollection({0x75, 0x28, 0x95, 0x01, 0x09, 0x01, 0x81, 0x00})},
      {"too big a descriptor", Bytes(4097, 0x00)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseReportDescriptor(c.descriptor), nullptr) << c.name;
  }
}

}  // namespace
}  // namespace kr35
