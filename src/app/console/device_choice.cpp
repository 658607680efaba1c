#include "app/console/device_choice.h"

#include <algorithm>
#include <iostream>
#include <map>

#include "hid/chosen_interface_backend.h"
#include "hid/printable_text.h"

namespace kr35 {

bool CheckChosenAdapter(PlatformServices& services, const std::string& path) {
  const std::vector<std::string> present = AdapterPaths(services.AllInterfaces());
  if (std::find(present.begin(), present.end(), path) != present.end()) return true;
  std::cerr << "kr35ctl: no adapter at " << EscapeDeviceText(path) << "; adapters present:";
  if (present.empty()) std::cerr << " none";
  for (const std::string& adapter : present) std::cerr << " " << EscapeDeviceText(adapter);
  std::cerr << "\n";
  return false;
}

std::string IdentityLabel(const AdapterIdentity& identity) {
  if (identity.serialNumber && !identity.serialNumber->empty()) {
    return EscapeDeviceText(*identity.serialNumber);
  }
  if (!identity.usbPort.empty()) return "port " + EscapeDeviceText(identity.usbPort);
  return EscapeDeviceText(identity.path);
}

std::optional<std::string> PathOfSerial(PlatformServices& services, const std::string& serial) {
  std::vector<AdapterIdentity> adapters = ListAdapterInterfaces(services.AllInterfaces());
  std::erase_if(adapters, [](const AdapterIdentity& a) { return !IsUsableAdapter(a); });
  const auto matches = std::count_if(adapters.begin(), adapters.end(),
                                     [&](const auto& a) { return a.serialNumber == serial; });
  if (matches == 1) {
    return std::find_if(adapters.begin(), adapters.end(),
                        [&](const auto& a) { return a.serialNumber == serial; })
        ->path;
  }
  std::cerr << "kr35ctl: " << (matches == 0 ? "no adapter has" : "several adapters have")
            << " the serial number " << EscapeDeviceText(serial) << "; adapters present:";
  if (adapters.empty()) std::cerr << " none";
  for (const AdapterIdentity& adapter : adapters) {
    std::cerr << "\n  " << EscapeDeviceText(adapter.path) << "  serial "
              << (adapter.serialNumber ? EscapeDeviceText(*adapter.serialNumber) : "-") << "  port "
              << (adapter.usbPort.empty() ? "-" : EscapeDeviceText(adapter.usbPort));
  }
  std::cerr << "\n";
  return std::nullopt;
}

void WarnDuplicateSerials(const std::vector<AdapterIdentity>& adapters) {
  std::map<std::string, int> count;
  for (const AdapterIdentity& adapter : adapters) {
    if (adapter.serialNumber && !adapter.serialNumber->empty()) ++count[*adapter.serialNumber];
  }
  for (const auto& [serial, n] : count) {
    if (n < 2) continue;
    std::cerr << "kr35ctl: warning: " << n << " adapters give the serial number "
              << EscapeDeviceText(serial) << "; they are told apart by their port only\n";
  }
}

}  // namespace kr35
