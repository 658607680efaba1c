// The application object of both dialog programs: from the command line it
// chooses the dialog, runs it modally on the program's window host and
// destroys it again.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/device_dialog.h"
#include "app/dialog_host.h"

namespace kr35 {

class DownloadApp {
 public:
  // `arguments`: the command line after the program name, as the user typed
  // it. `environment`: the platform services the dialog works with; the
  // dialog waits on the host's clock instead of the environment's.
  DownloadApp(std::vector<std::string> arguments, const DialogEnvironment& environment);

  // Runs the standard dialog (template 129) when the command line has no
  // parameter, the FULL dialog (template 136) with that parameter otherwise,
  // and destroys it before returning. Returns false: the program then ends.
  bool StartUp(ModalDialogHost& host);

  // The modal run's result; -1 when the dialog window could not be created.
  int DialogResult() const { return dialogResult_; }
  // The first argument that is not a switch; empty for the standard mode.
  const std::string& Parameter() const { return parameter_; }

 private:
  std::unique_ptr<DialogController> MakeDialog(DialogHost& host) const;

  std::vector<std::string> arguments_;
  std::string parameter_;
  DialogEnvironment environment_;
  int dialogResult_ = 0;
};

}  // namespace kr35
