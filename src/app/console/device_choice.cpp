#include "app/console/device_choice.h"

#include <algorithm>
#include <iostream>

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

}  // namespace kr35
