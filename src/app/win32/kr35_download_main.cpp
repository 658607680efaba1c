// kr35-download.exe: the KR35 Hardware Download Utility as a Win32 dialog.
// Without a parameter it runs the standard dialog, with one the FULL dialog.
#include <memory>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/download_options.h"
#include "app/full_dialog.h"
#include "app/standard_dialog.h"
#include "app/win32/program_arguments.h"
#include "app/win32/win32_dialog_host.h"
#include "services/platform_services.h"

namespace {

using namespace kr35;

constexpr const char* kProgram = "kr35-download";

// A GUI program has a standard output only when started with one (redirected,
// or from a console that passes it on); otherwise the text goes into a box.
void ShowText(const std::string& text, bool isError) {
  HANDLE out = GetStdHandle(isError ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  if (out != nullptr && out != INVALID_HANDLE_VALUE && GetFileType(out) != FILE_TYPE_UNKNOWN) {
    DWORD written = 0;
    WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    return;
  }
  MessageBoxA(nullptr, text.c_str(), Win32DialogHost::ApplicationName().c_str(),
              isError ? MB_ICONSTOP : MB_ICONINFORMATION);
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
  if (!created) ShowText(std::string(kProgram) + ": " + error + "\n", true);
  return created;
}

std::unique_ptr<DialogController> MakeController(const DownloadOptions& options, DialogHost& host,
                                                 const DialogEnvironment& environment) {
  if (ModeForParameter(options.parameter) == DownloadMode::kStandard) {
    return std::make_unique<StandardDialog>(host, environment);
  }
  auto full = std::make_unique<FullDialog>(host, environment);
  full->commandLineParameter = options.parameter;
  return full;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  const std::vector<std::string> arguments =
      SplitCommandLine(ArgumentsAfterProgramName(GetCommandLineA()));
  const DownloadOptions options = ParseDownloadOptions(arguments);
  if (options.help) {
    ShowText(kDownloadUsage, false);
    return 0;
  }
  if (options.version) {
    ShowText(std::string(kProgram) + " " + KR35_VERSION + "\n", false);
    return 0;
  }
  if (!options.error.empty()) {
    ShowText(std::string(kProgram) + ": " + options.error + "\n" + kDownloadUsage, true);
    return 2;
  }

  std::unique_ptr<PlatformServices> services = MakeServices(options);  // outlives the dialog
  if (!services) return 2;
  DialogEnvironment environment{services->Hid(), services->Notifications(), services->Mixer()};
  environment.clock = &services->ExchangeClock();
  Win32DialogHost host(instance);
  INT_PTR result = 0;
  {
    std::unique_ptr<DialogController> controller = MakeController(options, host, environment);
    result = host.RunModal(*controller);
    // The controller goes first: its reader thread stops posting to the host.
  }
  if (result == -1) {
    ShowText(std::string(kProgram) + ": the dialog window cannot be created\n", true);
    return 2;
  }
  std::string error;
  if (!services->Save(error)) {
    ShowText(std::string(kProgram) + ": " + error + "\n", true);
    return 1;
  }
  return 0;
}
