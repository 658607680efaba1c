#include "app/download_app.h"

#include <utility>

#include "app/command_line.h"
#include "app/full_dialog.h"
#include "app/standard_dialog.h"

namespace kr35 {

DownloadApp::DownloadApp(std::vector<std::string> arguments, const DialogEnvironment& environment)
    : arguments_(std::move(arguments)),
      parameter_(FindParameter(arguments_)),
      environment_(environment) {}

std::unique_ptr<DialogController> DownloadApp::MakeDialog(DialogHost& host) const {
  DialogEnvironment environment = environment_;
  environment.clock = &host.WaitClock();
  if (ModeForParameter(parameter_) == DownloadMode::kStandard) {
    return std::make_unique<StandardDialog>(host, environment);
  }
  auto full = std::make_unique<FullDialog>(host, environment);
  full->commandLineParameter = parameter_;
  return full;
}

bool DownloadApp::StartUp(ModalDialogHost& host) {
  // The dialog goes before the host: its reader thread stops posting first.
  std::unique_ptr<DialogController> dialog = MakeDialog(host);
  dialogResult_ = host.RunModal(*dialog);
  return false;
}

}  // namespace kr35
