#include "app/dialog_program.h"

#include <csignal>
#include <memory>

#include "app/download_options.h"
#include "app/output_paths.h"
#include "services/platform_services.h"

namespace kr35 {
namespace {

constexpr const char* kProgramName = "kr35-download";

std::string Error(const std::string& text) {
  return std::string(kProgramName) + ": " + text + "\n";
}

}  // namespace

int RunDialogProgram(const std::vector<std::string>& arguments, const DialogProgram& program) {
#ifdef SIGXFSZ
  // A file-size limit only cuts the recording or the trace, which is then
  // reported; it never ends a download.
  std::signal(SIGXFSZ, SIG_IGN);
#endif
  const DownloadOptions options = ParseDownloadOptions(arguments);
  if (options.help) {
    program.showText(kDownloadUsage, false);
    return 0;
  }
  if (options.version) {
    program.showText(std::string(kProgramName) + " " + KR35_VERSION + "\n", false);
    return 0;
  }
  if (!options.error.empty()) {
    program.showText(Error(options.error) + kDownloadUsage, true);
    return 2;
  }
  std::string error;
  if (!CheckOutputPaths({{"--record", options.recordPath},
                         {"--sim-trace", options.tracePath},
                         {"--sim-state", options.statePath}},
                        {{"--simulate", options.scenarioPath},
                         {"--sim-state", options.statePath},
                         {"--replay", options.replayPath}},
                        error)) {
    program.showText(Error(error), true);
    return 2;
  }
  if (program.findWindowSystem) {
    if (const std::string missing = program.findWindowSystem(); !missing.empty()) {
      program.showText(Error(missing), true);
      return 2;
    }
  }
  // Single-dash switches may be the window system's own (-style, -platform).
  for (const std::string& ignored : options.ignoredSwitches) {
    if (program.showNote && ignored.rfind("--", 0) == 0) {
      program.showNote(Error("ignoring unknown switch " + ignored));
    }
  }

  ServiceOptions serviceOptions;
  serviceOptions.simulate = options.simulate;
  serviceOptions.scenarioPath = options.scenarioPath;
  serviceOptions.tracePath = options.tracePath;
  serviceOptions.statePath = options.statePath;
  serviceOptions.recordPath = options.recordPath;
  serviceOptions.replayPath = options.replayPath;
  serviceOptions.replayMaxSpeed = options.replayMaxSpeed;
  serviceOptions.program = kProgramName;
  // The services outlive the dialog and its threads.
  std::unique_ptr<PlatformServices> services = PlatformServices::Create(serviceOptions, error);
  if (!services) {
    program.showText(Error(error), true);
    return 2;
  }
  DownloadApp app(arguments, {services->Hid(), services->Notifications(), services->Mixer()});
  program.runOnHost(app, services->ExchangeClock());
  if (app.DialogResult() == -1) {
    program.showText(Error("the dialog window cannot be created"), true);
    return 2;
  }
  if (!services->Save(error)) {
    program.showText(Error(error), true);
    return 1;
  }
  if (const std::string loss = services->RecordingLoss(); !loss.empty()) {
    program.showText(Error(loss), true);
    return 4;
  }
  return 0;
}

}  // namespace kr35
