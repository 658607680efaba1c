// kr35-download: the KR35 Hardware Download Utility as a Qt dialog. Without a
// parameter it runs the standard dialog, with one the FULL dialog.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/download_options.h"
#include "app/full_dialog.h"
#include "app/qt/run_qt_dialog.h"
#include "app/standard_dialog.h"
#include "services/platform_services.h"

namespace {

using namespace kr35;

std::vector<std::string> Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

std::unique_ptr<PlatformServices> MakeServices(const DownloadOptions& options) {
  ServiceOptions services;
  services.simulate = options.simulate;
  services.scenarioPath = options.scenarioPath;
  services.tracePath = options.tracePath;
  services.statePath = options.statePath;
  services.recordPath = options.recordPath;
  services.replayPath = options.replayPath;
  services.replayMaxSpeed = options.replayMaxSpeed;
  services.program = "kr35-download";
  std::string error;
  auto created = PlatformServices::Create(services, error);
  if (!created) std::fprintf(stderr, "kr35-download: %s\n", error.c_str());
  return created;
}

}  // namespace

int main(int argc, char** argv) {
  // --help and --version need no display: answer them before Qt starts.
  const DownloadOptions early = ParseDownloadOptions(Arguments(argc, argv));
  if (early.help) {
    std::fputs(kDownloadUsage, stdout);
    return 0;
  }
  if (early.version) {
    std::printf("kr35-download %s\n", KR35_VERSION);
    return 0;
  }
  if (!early.error.empty()) {
    std::fprintf(stderr, "kr35-download: %s\n%s", early.error.c_str(), kDownloadUsage);
    return 2;
  }

  std::unique_ptr<PlatformServices> services;  // outlives the dialog and its threads
  const int result =
      RunQtDialog(argc, argv, [&](DialogHost& host) -> std::unique_ptr<DialogController> {
        // Qt has taken its own arguments (such as -platform NAME) out of argv by now.
        const DownloadOptions options = ParseDownloadOptions(Arguments(argc, argv));
        for (const std::string& ignored : options.ignoredSwitches) {
          std::fprintf(stderr, "kr35-download: ignoring unknown switch %s\n", ignored.c_str());
        }
        services = MakeServices(options);
        if (!services) return nullptr;
        DialogEnvironment environment{services->Hid(), services->Notifications(),
                                      services->Mixer()};
        environment.clock = &services->ExchangeClock();
        if (ModeForParameter(options.parameter) == DownloadMode::kStandard) {
          return std::make_unique<StandardDialog>(host, environment);
        }
        auto full = std::make_unique<FullDialog>(host, environment);
        full->commandLineParameter = options.parameter;
        return full;
      });
  if (result < 0) return 2;
  std::string error;
  if (!services->Save(error)) {
    std::fprintf(stderr, "kr35-download: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
