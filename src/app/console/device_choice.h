// --device and --serial: which of several adapters kr35ctl uses.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "hid/adapter_identity.h"
#include "services/platform_services.h"

namespace kr35 {

// True when `path` is an adapter present; otherwise says so on stderr,
// naming the adapters that are present.
bool CheckChosenAdapter(PlatformServices& services, const std::string& path);

// The path of the one adapter present whose serial number is `serial`;
// none, after saying on stderr that it is unknown or given by several
// adapters and naming every adapter present, otherwise.
std::optional<std::string> PathOfSerial(PlatformServices& services, const std::string& serial);

// Says on stderr which serial numbers more than one adapter gives: such
// adapters are told apart by their port only.
void WarnDuplicateSerials(const std::vector<AdapterIdentity>& adapters);

// How an adapter is named to the user: its serial number, else its port,
// else its path (escaped for a terminal).
std::string IdentityLabel(const AdapterIdentity& identity);

}  // namespace kr35
