// kr35ctl doctor: checks everything between the user and a working adapter
// and says, for what fails, how to fix it in one line.
#pragma once

#include <string>
#include <vector>

#include "app/console/event_printer.h"
#include "services/platform_services.h"

namespace kr35 {

struct DoctorCheck {
  enum class Status { kOk, kWarn, kFail };
  std::string name;  // what was checked: "adapter", "open for writing", ...
  Status status = Status::kOk;
  std::string found;  // what was found (device text escaped when printed)
  std::string fix;    // with warn and fail: what to do, in one line
};
const char* DoctorStatusName(DoctorCheck::Status status);  // "ok", "warn", "fail"

struct DoctorReport {
  std::vector<DoctorCheck> checks;
  bool adapterPresent = false;
};

DoctorReport RunDoctorChecks(PlatformServices& services);

// Prints every check (--json: one object each). Exit status: 0 when nothing
// fails (warnings allowed), 1 when a check fails, 3 when no adapter is present.
int RunDoctorCommand(PlatformServices& services, EventPrinter& printer);

}  // namespace kr35
