// `kr35ctl update`: brings every selected adapter to the target images, at
// once, after a plan that says what each adapter gets, and reports it.
#pragma once

#include <string>

#include "app/console/event_printer.h"
#include "services/platform_services.h"

namespace kr35 {

struct UpdateOptions {
  bool all = false;     // every adapter present; otherwise the one chosen
  bool dryRun = false;  // the plan only
  bool force = false;   // send the images also to adapters that are current
  int jobs = 4;         // adapters updated at once
  std::string reportPath;
  bool assumeYes = false;
  bool interactive = false;
  std::string usbHex;  // the HEX files; none: the built-in images
  std::string dspHex;
  std::string device;  // --device
  std::string serial;  // --serial
};

// Exit 0 when every selected adapter is current or was updated and verified,
// 1 when any failed or was refused, 2 for an input error (before anything is
// sent), 3 when no adapter is present.
int RunUpdateCommand(PlatformServices& services, EventPrinter& printer,
                     const UpdateOptions& options);

}  // namespace kr35
