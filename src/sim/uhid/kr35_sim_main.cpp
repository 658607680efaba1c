// kr35-sim: the simulated KR35 adapter as a real HID device of this machine's
// kernel, through /dev/uhid. Programs see it on hidraw exactly as they would
// see the hardware. Runs until interrupted (SIGINT, SIGTERM). With --replay,
// presents a recorded session instead; the exit status then says whether
// the host did all that the recording did.
#include <signal.h>
#include <sys/signalfd.h>
#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <iostream>

#include "record/recording.h"
#include "sim/sim_hid_backend.h"
#include "sim/uhid/uhid_adapter_bridge.h"
#include "sim/uhid/uhid_node_check.h"
#include "sim/uhid/uhid_replay.h"

namespace {

using namespace kr35;

int Fail(const std::string& text) {
  std::cerr << "kr35-sim: " << text << "\n";
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"The simulated KR35 adapter as a kernel HID device (needs /dev/uhid)"};
  std::string scenarioPath, tracePath, statePath, replayPath, replaySpeed = "recorded",
                                                              uhidPath = kUhidPath;
  auto* scenarioOption =
      app.add_option("--scenario", scenarioPath, "Scenario file (JSON), see docs/simulator.md");
  auto* traceOption =
      app.add_option("--trace", tracePath, "Write every report received and sent to this file");
  auto* stateOption =
      app.add_option("--state", statePath, "Keep the adapter's firmware in this file between runs");
  auto* replayOption = app.add_option(
      "--replay", replayPath, "Present this recorded session instead of the simulated adapter");
  app.add_option("--replay-speed", replaySpeed,
                 "'recorded' (the recorded delays) or 'max' (no delays)")
      ->check(CLI::IsMember({"recorded", "max"}))
      ->needs(replayOption);
  replayOption->excludes(scenarioOption, traceOption, stateOption);
  app.add_option("--uhid", uhidPath, "The uhid node")->capture_default_str();
  app.set_version_flag("--version", std::string("kr35-sim ") + KR35_VERSION);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : 2;  // --help and --version, or a usage error
  }
  if (std::string nodeError; !CheckUhidNode(uhidPath, nodeError)) return Fail(nodeError);

  // Signals are taken through a descriptor by the bridge's loop; block them
  // before any thread starts so none of them takes the signal instead.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  const UniqueFd stop(signalfd(-1, &signals, SFD_CLOEXEC));
  if (!stop.Valid()) return Fail("cannot watch for signals");

  std::string error;
  const auto openUhid = [&uhidPath](std::string& openError) {
    return UhidDevice::Open(uhidPath, openError);
  };
  if (!replayPath.empty()) {
    auto recording = LoadRecording(replayPath, error);
    if (!recording) return Fail(error);  // names the file
    UhidReplay replay(std::move(*recording), replaySpeed == "max", openUhid, stderr);
    if (!replay.Run(stop.Get(), error)) return Fail(error);
    return replay.Diagnosis().empty() ? 0 : 1;  // the message went out as it happened
  }

  auto backend = SimHidBackend::Open(scenarioPath, {tracePath, statePath}, error);
  if (!backend) return Fail(error);  // names the file
  UhidAdapterBridge bridge(*backend, backend->LoadedScenario().hid, openUhid, stdout);
  const bool served = bridge.Run(stop.Get(), error);
  if (!backend->SaveState(error)) return Fail(statePath + ": " + error);
  return served ? 0 : Fail(error);
}
