// A dialog controller's surroundings for tests: the simulated adapter (with a
// trace of the frames it receives), the simulated mixer and the fake host.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/device_dialog.h"
#include "fake_dialog_host.h"
#include "mixer/sim/sim_mixer.h"
#include "mixer/sim/sim_mixer_description.h"
#include "sim/sim_hid_backend.h"

namespace kr35::testing {

using namespace std::chrono_literals;

// Short waits: an unanswered attempt costs 200 ms, a retry 1 ms, the wait
// for a ready DSP status 300 ms.
inline constexpr Timing kFastTiming{.responseWait = 200ms,
                                    .retryPause = 1ms,
                                    .readSlice = 50ms,
                                    .finishPause = 1ms,
                                    .statusWaitLimit = 300ms};

using Frame = std::vector<std::uint8_t>;  // a command frame as the adapter received it

class DialogRig {
 public:
  // `scenarioJson`: a scenario; the adapter answers at once and restarts in
  // 1 ms unless the scenario says otherwise.
  explicit DialogRig(const std::string& scenarioJson = "{}", Timing timing = kFastTiming)
      : timing_(timing) {
    static std::atomic<int> counter{0};
    tracePath_ = std::filesystem::temp_directory_path() /
                 ("kr35_dialog_trace_" + std::to_string(::getpid()) + "_" +
                  std::to_string(counter++) + ".jsonl");
    nlohmann::json json = nlohmann::json::parse(scenarioJson, nullptr, true, true);
    nlohmann::json& hid = json["hid"];
    if (!hid.contains("latency_ms")) hid["latency_ms"] = 0;
    if (!hid.contains("restart_ms")) hid["restart_ms"] = 1;
    std::string error;
    auto scenario = ParseScenario(json.dump(), error);
    EXPECT_TRUE(scenario.has_value()) << error;
    sim = SimHidBackend::Create(scenario.value_or(Scenario{}), {tracePath_.string()}, error);
    EXPECT_NE(sim, nullptr) << error;
  }
  ~DialogRig() {
    sim.reset();
    std::error_code ignored;
    std::filesystem::remove(tracePath_, ignored);
  }

  DialogEnvironment Environment() { return {*sim, &sim->Notifications(), mixer, timing_}; }

  // Every command frame the adapter has received so far, in order.
  std::vector<Frame> ReceivedFrames() const {
    std::vector<Frame> frames;
    std::ifstream in(tracePath_);
    for (std::string line; std::getline(in, line);) {
      const nlohmann::json record = nlohmann::json::parse(line);
      if (record["dir"] != "rx") continue;
      const std::string hex = record["bytes"];
      Frame frame;  // without the report id
      for (std::size_t i = 2; i + 1 < hex.size(); i += 2) {
        frame.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
      }
      frames.push_back(std::move(frame));
    }
    return frames;
  }
  std::vector<Frame> ReceivedFrames(std::uint8_t code) const {
    std::vector<Frame> matching;
    for (Frame& frame : ReceivedFrames()) {
      if (!frame.empty() && frame[0] == code) matching.push_back(std::move(frame));
    }
    return matching;
  }

  std::unique_ptr<SimHidBackend> sim;
  SimMixer mixer{DefaultSimMixers()};
  FakeDialogHost host;

 private:
  Timing timing_;
  std::filesystem::path tracePath_;
};

}  // namespace kr35::testing
