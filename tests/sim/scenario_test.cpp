#include "sim/scenario.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace kr35 {
namespace {

TEST(ScenarioTest, EmptyObjectIsTheDefaultAdapter) {
  std::string error;
  auto scenario = ParseScenario("{}", error);
  ASSERT_TRUE(scenario) << error;
  EXPECT_EQ(scenario->usbVersion, 0x0100);
  EXPECT_EQ(scenario->busyPolls, 1);
  EXPECT_TRUE(scenario->rules.empty());
  EXPECT_EQ(scenario->hid.vendorId, 0x3C1F);
  EXPECT_EQ(scenario->hid.productId, 0x5E35);
  EXPECT_EQ(scenario->hid.outputReportLength, 64);
}

TEST(ScenarioTest, ReadsRulesAndHidSettings) {
  std::string error;
  auto scenario = ParseScenario(R"({
    // comments are allowed
    "description": "everything at once",
    "busy_polls": "forever",
    "force_checksum_bad": true,
    "rules": [
      {"match": {"command": "CMD_DSP_BLOCK", "block": 5}, "answer": "RSP_NAK_DSP", "times": 2},
      {"match": {"command": "0x9c", "occurrence": 3}, "answer": [29, 5], "times": "always",
       "process": true, "delay_ms": 2500, "unsolicited": ["UPGRADE_BUSY"]}
    ],
    "hid": {
      "product_id": "0x0B72", "product": null, "adapters": 2,
      "devices_before": [{"vendor_id": 1133, "manufacturer": null}],
      "output_report_length": 63, "response_length": 6, "latency_ms": 0,
      "fail_writes": {"from": 3, "times": "always"}, "write_opens": false,
      "events": [
        {"after_command": 2, "button": {"code": "0x48", "usages": ["mute", 233]}},
        {"at_ms": 100, "report": [2, 0, 0]},
        {"after_command": 4, "unplug": {"replug_after_ms": 300}},
        {"at_ms": 5, "response": {"headset_status": 1}}
      ]
    }})",
                                error);
  ASSERT_TRUE(scenario) << error;
  EXPECT_EQ(scenario->busyPolls, kAlways);
  EXPECT_TRUE(scenario->forceDspChecksumBad && scenario->forceUsbChecksumBad);
  ASSERT_EQ(scenario->rules.size(), 2u);
  const Rule& second = scenario->rules[1];
  EXPECT_EQ(second.match.command, 0x9C);
  EXPECT_EQ(second.match.occurrence, 3);
  EXPECT_EQ(second.answer.kind, RuleAnswer::Kind::kFrame);
  EXPECT_EQ(second.answer.frame, (ResponseFrame{RSP_HEADSET_STATUS, 5, 0, 0, 0}));
  EXPECT_EQ(second.times, kAlways);
  EXPECT_TRUE(second.process);
  EXPECT_EQ(second.delayMs, 2500);
  ASSERT_EQ(second.unsolicited.size(), 1u);
  EXPECT_EQ(second.unsolicited[0], (ResponseFrame{RSP_UPGRADE_STATUS, UPGRADE_BUSY, 0, 0, 0}));
  EXPECT_EQ(scenario->rules[0].match.block, 5);

  const HidSettings& hid = scenario->hid;
  EXPECT_EQ(hid.productId, 0x0B72);
  EXPECT_FALSE(hid.product.has_value());
  EXPECT_EQ(hid.adapterCount, 2);
  ASSERT_EQ(hid.devicesBefore.size(), 1u);
  EXPECT_EQ(hid.devicesBefore[0].vendorId, 1133);
  EXPECT_FALSE(hid.devicesBefore[0].manufacturer.has_value());
  EXPECT_EQ(hid.outputReportLength, 63);
  EXPECT_EQ(hid.responseLength, 6);
  EXPECT_EQ(hid.latencyMs, 0);
  EXPECT_EQ(hid.failWriteFrom, 3);
  EXPECT_EQ(hid.failWriteTimes, kAlways);
  EXPECT_FALSE(hid.writeOpens);
  ASSERT_EQ(hid.events.size(), 4u);
  EXPECT_EQ(hid.events[0].kind, HidEvent::Kind::kButton);
  EXPECT_EQ(hid.events[0].buttonCode, 0x48);
  EXPECT_EQ(hid.events[0].usages, (std::vector<std::uint16_t>{0xE2, 0xE9}));
  EXPECT_EQ(hid.events[1].at.atMs, 100);
  EXPECT_EQ(hid.events[2].kind, HidEvent::Kind::kUnplug);
  EXPECT_EQ(hid.events[2].replugAfterMs, 300);
  EXPECT_EQ(hid.events[3].bytes, (std::vector<std::uint8_t>{RSP_HEADSET_STATUS, 1, 0, 0, 0}));
}

TEST(ScenarioTest, RejectsBadScenariosNamingTheProblem) {
  struct Case {
    const char* json;
    const char* errorPart;
  };
  const Case cases[] = {
      {"[1, 2", "not valid JSON"},
      {"[]", "must be an object"},
      {R"({"bogus": 1})", "unknown key 'bogus' in scenario"},
      {R"({"versions": {"usb": 1, "dps": 2}})", "unknown key 'dps' in versions"},
      {R"({"versions": {"usb": 65536}})", "versions.usb"},
      {R"({"busy_polls": -1})", "busy_polls"},
      {R"({"rules": [{"answer": "RSP_ACK"}]})", "needs a 'match'"},
      {R"({"rules": [{"match": {"cmd": 1}}]})", "unknown key 'cmd' in rules[0].match"},
      {R"({"rules": [{"match": {"command": "CMD_NOPE"}}]})", "unknown command 'CMD_NOPE'"},
      {R"({"rules": [{"match": {"command": 300}}]})", "rules[0].match.command"},
      {R"({"rules": [{"match": {"occurrence": 0}}]})", "rules[0].match.occurrence"},
      {R"({"rules": [{"match": {}, "answer": "RSP_MAYBE"}]})", "unknown answer 'RSP_MAYBE'"},
      {R"({"rules": [{"match": {}, "answer": [1, 2, 3, 4, 5, 6]}]})", "1 to 5 bytes"},
      {R"({"rules": [{"match": {}, "answer": [256]}]})", "rules[0].answer[0]"},
      {R"({"rules": [{"match": {}, "answer": {"mood": 1}}]})", "unknown key 'mood'"},
      {R"({"rules": [{"match": {}, "times": "often"}]})", "rules[0].times"},
      {R"({"hid": {"colour": "red"}})", "unknown key 'colour' in hid"},
      {R"({"hid": {"output_report_length": 1}})", "hid.output_report_length"},
      {R"({"hid": {"product": 5}})", "hid.product"},
      {R"({"hid": {"events": [{"button": {}}]}})", "exactly one of 'after_command' and 'at_ms'"},
      {R"({"hid": {"events": [{"at_ms": 1}]}})", "exactly one of 'button'"},
      {R"({"hid": {"events": [{"at_ms": 1, "button": {"usages": ["play"]}}]}})", "usages[0]"},
      {R"({"hid": {"events": [{"at_ms": 1, "unplug": {"after": 2}}]}})", "unknown key 'after'"},
      {R"({"hid": {"adapters": []}})", "array of 1 to 8 adapters"},
      {R"({"hid": {"adapters": [{"events": []}]}})", "'events' cannot be given for one adapter"},
      {R"({"hid": {"adapters": [{"latency": 2}]}})", "unknown key 'latency' in hid.adapters[0]"},
      {R"({"hid": {"adapters": [{"busy_polls": -1}]}})", "busy_polls"},
      {R"({"hid": {"adapters": 2, "events": [{"adapter": 2, "at_ms": 1, "unplug": true}]}})",
       "names an adapter beyond the 2 simulated"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(ParseScenario(c.json, error)) << c.json;
    EXPECT_NE(error.find(c.errorPart), std::string::npos) << c.json << " gave: " << error;
  }
}

TEST(ScenarioTest, CommandNamesAndNumbers) {
  EXPECT_EQ(CommandCodeFromName("CMD_DSP_BLOCK"), 0x12);
  EXPECT_EQ(CommandCodeFromName("18"), 0x12);
  EXPECT_EQ(CommandCodeFromName("0x12"), 0x12);
  EXPECT_EQ(CommandCodeFromName("CMD_VERSIONS"), 0x9C);
  EXPECT_EQ(CommandCodeFromName("CMD_UPGRADE_STATUS"), 0x94);
  EXPECT_FALSE(CommandCodeFromName("0x100"));
  EXPECT_FALSE(CommandCodeFromName("0x"));
  EXPECT_FALSE(CommandCodeFromName(""));
}

TEST(ScenarioTest, LoadsAFileAndNamesItInErrors) {
  const std::string path = ::testing::TempDir() + "/kr35_scenario_test.json";
  { std::ofstream(path) << R"({"busy_polls": 4})"; }
  std::string error;
  auto scenario = LoadScenarioFile(path, error);
  ASSERT_TRUE(scenario) << error;
  EXPECT_EQ(scenario->busyPolls, 4);
  { std::ofstream(path) << R"({"busy": 4})"; }
  EXPECT_FALSE(LoadScenarioFile(path, error));
  EXPECT_NE(error.find(path), std::string::npos);
  std::remove(path.c_str());
  EXPECT_FALSE(LoadScenarioFile(path, error));
  EXPECT_NE(error.find("cannot open"), std::string::npos);
}

}  // namespace
}  // namespace kr35
