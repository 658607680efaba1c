// The platform services of the simulated adapter, the same on every platform:
// its HID interfaces and notices, the simulated mixers, and its flash kept in
// the state file.
#pragma once

#include "services/platform_services.h"

namespace kr35 {

// Null with `error` set when the scenario, trace or state file cannot be used.
std::unique_ptr<PlatformServices> CreateSimulatedServices(const ServiceOptions& options,
                                                          std::string& error);

}  // namespace kr35
