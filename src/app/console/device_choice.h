// --device: which of several adapters kr35ctl uses.
#pragma once

#include <string>

#include "services/platform_services.h"

namespace kr35 {

// True when `path` is an adapter present; otherwise says so on stderr,
// naming the adapters that are present.
bool CheckChosenAdapter(PlatformServices& services, const std::string& path);

}  // namespace kr35
