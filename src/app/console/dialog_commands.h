// kr35ctl commands that run a dialog's behaviour on the terminal.
#pragma once

#include <string>

#include "app/console/event_printer.h"
#include "app/device_dialog.h"
#include "services/platform_services.h"

namespace kr35 {

struct ConsoleOptions {
  bool assumeYes = false;    // --yes
  bool interactive = false;  // a terminal can answer prompts
};

// The dialog's environment on the program's services.
DialogEnvironment EnvironmentOf(PlatformServices& services);
// Keeps the simulated flash; a failure to keep it is said and fails a run that was done.
int SaveAndReturn(PlatformServices& services, int status);

// `list`: the HID interfaces that are the adapter.
int RunListCommand(PlatformServices& services, EventPrinter& printer);
// `versions`: the Version button.
int RunVersionsCommand(PlatformServices& services, EventPrinter& printer);
// `download`: the standard mode's Download, or, with HEX files, the FULL mode's.
int RunDownloadCommand(PlatformServices& services, EventPrinter& printer,
                       const ConsoleOptions& options, const std::string& usbHex,
                       const std::string& dspHex);
// `monitor`: follows plug, unplug and the headset's buttons until interrupted
// or for `durationSeconds` (< 0: no limit).
int RunMonitorCommand(PlatformServices& services, EventPrinter& printer, double durationSeconds);

}  // namespace kr35
