// Recorded capabilities stand in for a descriptor whose bytes the platform
// does not give: the parser rebuilt from them must read and write every
// report as the original parser does, and hostile caps must be refused.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>

#include <nlohmann/json.hpp>

#include "hid/report_descriptor_parser.h"
#include "hid/report_descriptor_samples.h"
#include "record/recorded_caps.h"
#include "sim/sim_report_descriptor.h"

namespace kr35 {
namespace {

using Json = nlohmann::json;
using Bytes = std::vector<std::uint8_t>;

// A gamepad-like input report 4: an array of two button indices over two
// usage spans, then a range of two 16-bit values.
// clang-format off
const Bytes kArrayDescriptor = {
    0x05, 0x01, 0x09, 0x05, 0xA1, 0x01,  // Generic Desktop, Game Pad, Collection
    0x85, 0x04,                          //   Report ID (4)
    0x05, 0x09, 0x19, 0x01, 0x29, 0x05, 0x09, 0x10,  // Buttons 1-5, Button 16
    0x15, 0x01, 0x25, 0x06, 0x75, 0x08, 0x95, 0x02,
    0x81, 0x00,                          //   Input (Data, Array)
    0x05, 0x01, 0x19, 0x30, 0x29, 0x31,  //   X, Y
    0x15, 0x00, 0x26, 0xFF, 0x7F, 0x75, 0x10, 0x95, 0x02,
    0x81, 0x02,                          //   Input (Data, Variable)
    0xC0,
};
// clang-format on

std::vector<UsageAndPage> Usages(const PreparsedData& parsed, const Bytes& report,
                                 HidpStatus& status) {
  std::vector<UsageAndPage> list(16);
  std::uint32_t length = static_cast<std::uint32_t>(list.size());
  status = parsed.GetUsagesEx(HidReportType::kInput, 0, list.data(), length, report);
  list.resize(status == HIDP_STATUS_SUCCESS ? length : 0);
  return list;
}

TEST(RecordedCapsTest, TheRebuiltParserReadsAndWritesReportsAsTheOriginal) {
  const struct {
    const char* name;
    Bytes descriptor;
  } cases[] = {{"adapter", test::kAdapterDescriptor},
               {"simulator", BuildSimReportDescriptor(HidSettings{})},
               {"arrays", kArrayDescriptor}};
  std::mt19937 random(35);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto original = ParseReportDescriptor(c.descriptor);
    ASSERT_TRUE(original);
    const auto probed = ProbeCaps(*original);
    ASSERT_TRUE(probed);
    // Through the file, as a replay reads them.
    const auto rebuilt =
        PreparsedDataFromCaps(CapsFromJson(Json::parse(CapsToJson(*probed).dump())));
    ASSERT_TRUE(rebuilt);

    HidpCaps want, got;
    ASSERT_EQ(original->GetCaps(want), HIDP_STATUS_SUCCESS);
    ASSERT_EQ(rebuilt->GetCaps(got), HIDP_STATUS_SUCCESS);
    EXPECT_EQ(std::memcmp(&want, &got, sizeof want), 0);

    for (const RecordedCap& value : probed->values[0]) {
      EXPECT_EQ(value.bitOffset.has_value(), !value.cap.isRange);
    }
    for (int round = 0; round < 300; ++round) {
      Bytes report(want.inputReportByteLength);
      for (auto& byte : report) byte = static_cast<std::uint8_t>(random() & (round % 2 ? 7 : 0xFF));
      const auto& ids = probed->buttons[0].empty() ? probed->values[0] : probed->buttons[0];
      if (!ids.empty()) report[0] = ids[random() % ids.size()].cap.reportId;

      HidpStatus wantStatus, gotStatus;
      const auto wantUsages = Usages(*original, report, wantStatus);
      const auto gotUsages = Usages(*rebuilt, report, gotStatus);
      ASSERT_EQ(gotStatus, wantStatus);
      ASSERT_EQ(gotUsages.size(), wantUsages.size());
      for (std::size_t i = 0; i < wantUsages.size(); ++i) {
        EXPECT_EQ(gotUsages[i].usage, wantUsages[i].usage);
        EXPECT_EQ(gotUsages[i].usagePage, wantUsages[i].usagePage);
      }
      for (const RecordedCap& value : probed->values[0]) {
        Bytes wantValue(64), gotValue(64);
        const HidpCapability& cap = value.cap;
        ASSERT_EQ(rebuilt->GetUsageValueArray(HidReportType::kInput, cap.usagePage, 0, cap.usage,
                                              gotValue, report),
                  original->GetUsageValueArray(HidReportType::kInput, cap.usagePage, 0, cap.usage,
                                               wantValue, report));
        EXPECT_EQ(gotValue, wantValue);
      }
    }
    for (const RecordedCap& value : probed->values[1]) {
      Bytes frame(value.cap.reportCount);
      for (auto& byte : frame) byte = static_cast<std::uint8_t>(random());
      Bytes wantReport(want.outputReportByteLength), gotReport(want.outputReportByteLength);
      const HidpCapability& cap = value.cap;
      EXPECT_EQ(rebuilt->SetUsageValueArray(HidReportType::kOutput, cap.usagePage, 0, cap.usage,
                                            frame, gotReport),
                original->SetUsageValueArray(HidReportType::kOutput, cap.usagePage, 0, cap.usage,
                                             frame, wantReport));
      EXPECT_EQ(gotReport, wantReport);
    }
  }
}

// Caps come from a file: anything that would put a field outside its report or
// break a bound is refused, by the reader or by the rebuilt parser.
TEST(RecordedCapsTest, HostileCapsAreRefused) {
  const auto parsed = ParseReportDescriptor(test::kAdapterDescriptor);
  const Json good = CapsToJson(*ProbeCaps(*parsed));
  ASSERT_TRUE(PreparsedDataFromCaps(CapsFromJson(good)));

  const struct {
    const char* name;
    std::function<void(Json&)> damage;
  } cases[] = {
      {"offset past the report", [](Json& j) { j["inputValues"][1]["bitOffset"] = 8 * 64; }},
      {"offset on the report id", [](Json& j) { j["inputValues"][1]["bitOffset"] = 0; }},
      {"offset beyond any report", [](Json& j) { j["inputValues"][1]["bitOffset"] = 1u << 31; }},
      {"array too long", [](Json& j) { j["outputValues"][0]["reportCount"] = 0xFFFF; }},
      {"report too long", [](Json& j) { j["outputReportByteLength"] = 5000; }},
      {"value of no bits", [](Json& j) { j["inputValues"][0]["bitSize"] = 0; }},
      {"reversed range",
       [](Json& j) {
         j["inputButtons"][0]["isRange"] = true;
         j["inputButtons"][0]["usageMin"] = 9;
         j["inputButtons"][0]["usageMax"] = 3;
       }},
      {"negative report id", [](Json& j) { j["inputButtons"][0]["reportId"] = -1; }},
      {"too many caps",
       [](Json& j) {
         for (int i = 0; i < 70; ++i) j["inputButtons"].push_back(j["inputButtons"][0]);
       }},
      {"not a number", [](Json& j) { j["inputValues"][0]["bitSize"] = "8"; }},
      {"no reports at all",
       [](Json& j) {
         j["inputReportByteLength"] = 0;
         j["outputReportByteLength"] = 0;
         j["inputValues"] = j["inputButtons"] = j["outputValues"] = Json::array();
       }},
  };
  for (const auto& c : cases) {
    Json caps = good;
    c.damage(caps);
    bool refused = false;
    try {
      refused = PreparsedDataFromCaps(CapsFromJson(caps)) == nullptr;
    } catch (const std::exception&) {
      refused = true;
    }
    EXPECT_TRUE(refused) << c.name;
  }
}

}  // namespace
}  // namespace kr35
