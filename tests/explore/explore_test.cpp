#include <gtest/gtest.h>

#include "explore/explore_run.h"
#include "explore/virtual_adapter_port.h"
#include "firmware/builtin_images.h"
#include "protocol/command_exchange.h"
#include "sim/scenario_writer.h"

namespace kr35 {
namespace {

Scenario Parse(const std::string& json) {
  std::string error;
  auto scenario = ParseScenario(json, error);
  EXPECT_TRUE(scenario.has_value()) << error << "\n" << json;
  return scenario.value_or(Scenario{});
}

ExploreImages BuiltInImages() {
  const auto dsp = LoadBuiltInImage(kDspImageId);
  const auto usb = LoadBuiltInImage(kUsbImageId);
  return {{dsp.begin(), dsp.end()}, {usb.begin(), usb.end()}, {}, {}, {}};
}

// A run is a function of its seed, and the scenario file written for it
// replays the same run: same outcome, same virtual duration, same findings.
TEST(ExploreTest, RunsAreReproducibleFromTheSeedAndFromTheWrittenScenario) {
  for (std::uint64_t seed = 1; seed <= 120; ++seed) {
    const ExploreKind kind = seed % 4 == 0 ? ExploreKind::kFull : ExploreKind::kStandard;
    const ExploreRun run = RunExploration(seed, kind);
    EXPECT_TRUE(run.violations.empty()) << "seed " << seed << ": " << run.violations.front();
    const ExploreRun again = RunExploration(seed, kind);
    EXPECT_EQ(again.duration, run.duration) << seed;

    const std::string json = ScenarioToJson(run.scenario);
    const Scenario parsed = Parse(json);
    EXPECT_EQ(ScenarioToJson(parsed), json);
    const ExploreRun replayed = RunScenario(parsed, kind, run.images);
    EXPECT_EQ(replayed.succeeded, run.succeeded) << seed;
    EXPECT_EQ(replayed.duration, run.duration) << seed;
  }
}

// The invariants catch an adapter that lies: it reports a good checksum for
// an image it refused, so a download is reported successful but not stored.
TEST(ExploreTest, LyingAdapterIsReportedAsAViolation) {
  const Scenario honest = Parse("{}");
  const ExploreRun clean = RunScenario(honest, ExploreKind::kStandard, BuiltInImages());
  EXPECT_TRUE(clean.succeeded);
  EXPECT_TRUE(clean.violations.empty());

  const Scenario lying = Parse(R"({"force_checksum_bad": "dsp", "rules": [
      {"match": {"command": "CMD_UPGRADE_STATUS", "occurrence": 3},
       "answer": "UPGRADE_CHECKSUM_GOOD", "times": "always"}]})");
  const ExploreRun run = RunScenario(lying, ExploreKind::kStandard, BuiltInImages());
  ASSERT_FALSE(run.violations.empty());
  EXPECT_EQ(run.violations.front(),
            "DSP download reported successful, but the adapter holds nothing");
}

// An answer later than the 2000 ms wait is not taken by its own attempt; the
// next attempt, a 1000 ms pause later, gets an answer of its own.
TEST(VirtualAdapterPortTest, LateAnswerTimesOutItsAttempt) {
  struct Case {
    double delayMs;
    std::size_t writes;
    std::chrono::milliseconds end;
  };
  for (const Case c : {Case{1998, 1, std::chrono::milliseconds(2000)},
                       Case{2500, 2, std::chrono::milliseconds(3000 + 2)}}) {
    Scenario scenario = Parse(R"({"hid": {"latency_ms": 1}, "rules": [{"match":
        {"command": "CMD_VERSIONS"}, "delay_ms": )" +
                              std::to_string(c.delayMs) + "}]}");
    AdapterModel model(scenario);
    VirtualAdapterPort port(model, scenario.hid, Timing{});
    std::string text;
    EXPECT_TRUE(SendCommand(port, Timing{}, MakeQueryFrame(CMD_VERSIONS), text));
    EXPECT_EQ(text, "USB 0100, DSP 0100");
    EXPECT_EQ(port.Wire().size(), c.writes);
    EXPECT_EQ(port.Now(), c.end);
  }
}

}  // namespace
}  // namespace kr35
