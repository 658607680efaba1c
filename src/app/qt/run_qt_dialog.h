// Runs one dialog program on Qt: the application object, the host, the
// controller made for that host, its modal run, and the teardown in order.
#pragma once

#include <functional>
#include <memory>

#include "app/dialog_controller.h"
#include "app/dialog_host.h"

namespace kr35 {

using DialogControllerFactory = std::function<std::unique_ptr<DialogController>(DialogHost& host)>;

// Creates the QApplication from argc/argv (Qt removes the arguments it
// understands), then the host and the controller, and runs the dialog. The
// controller is destroyed before the host, so its threads stop posting first.
// Returns the dialog's result, or -1 when the controller's template is unknown.
int RunQtDialog(int& argc, char** argv, const DialogControllerFactory& makeController);

}  // namespace kr35
