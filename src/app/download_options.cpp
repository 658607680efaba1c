#include "app/download_options.h"

#include <string_view>

#include "app/command_line.h"

namespace kr35 {
namespace {

// The value of "--name=VALUE" when `argument` is that switch; false otherwise.
bool SwitchValue(std::string_view argument, std::string_view name, std::string_view& value) {
  if (argument.substr(0, name.size()) != name) return false;
  const std::string_view rest = argument.substr(name.size());
  if (rest.empty()) {
    value = {};
    return true;
  }
  if (rest.front() != '=') return false;
  value = rest.substr(1);
  return true;
}

// Switches that only mean something together: the simulator's own without
// --simulate would silently work on a real adapter instead.
std::string CombinationError(const DownloadOptions& options, bool replaySpeedGiven) {
  if (!options.simulate) {
    if (!options.tracePath.empty()) return "--sim-trace needs --simulate";
    if (!options.statePath.empty()) return "--sim-state needs --simulate";
  }
  if (options.simulate && !options.replayPath.empty()) {
    return "--simulate and --replay exclude each other: the adapter is either simulated or "
           "replayed";
  }
  if (replaySpeedGiven && options.replayPath.empty()) return "--replay-speed needs --replay";
  return {};
}

}  // namespace

DownloadOptions ParseDownloadOptions(const std::vector<std::string>& arguments) {
  DownloadOptions options;
  bool replaySpeedGiven = false;
  for (const std::string& argument : arguments) {
    if (!IsSwitch(argument)) continue;
    std::string_view value;
    if (argument == "--help") {
      options.help = true;
    } else if (argument == "--version") {
      options.version = true;
    } else if (SwitchValue(argument, "--simulate", value)) {
      options.simulate = true;
      options.scenarioPath = value;
    } else if (SwitchValue(argument, "--sim-trace", value)) {
      options.tracePath = value;
      if (value.empty()) options.error = "--sim-trace needs a file: --sim-trace=FILE";
    } else if (SwitchValue(argument, "--sim-state", value)) {
      options.statePath = value;
      if (value.empty()) options.error = "--sim-state needs a file: --sim-state=FILE";
    } else if (SwitchValue(argument, "--record", value)) {
      options.recordPath = value;
      if (value.empty()) options.error = "--record needs a file: --record=FILE";
    } else if (SwitchValue(argument, "--replay-speed", value)) {
      replaySpeedGiven = true;
      options.replayMaxSpeed = value == "max";
      if (value != "max" && value != "recorded") {
        options.error = "--replay-speed is 'recorded' or 'max'";
      }
    } else if (SwitchValue(argument, "--history", value)) {
      options.history = std::string(value);
      if (value.empty()) options.error = "--history needs a file or 'none': --history=FILE";
    } else if (SwitchValue(argument, "--replay", value)) {
      options.replayPath = value;
      if (value.empty()) options.error = "--replay needs a file: --replay=FILE";
    } else {
      options.ignoredSwitches.push_back(argument);
    }
  }
  options.parameter = FindParameter(arguments);
  if (options.error.empty()) options.error = CombinationError(options, replaySpeedGiven);
  return options;
}

}  // namespace kr35
