#include "hid/chosen_interface_backend.h"

#include <algorithm>

#include "hid/adapter_identity.h"

namespace kr35 {

std::optional<std::vector<std::string>> ChosenInterfaceBackend::EnumerateInterfaces() {
  auto paths = inner_.EnumerateInterfaces();
  if (!paths) return paths;
  const bool present = std::find(paths->begin(), paths->end(), path_) != paths->end();
  return present ? std::vector<std::string>{path_} : std::vector<std::string>{};
}

std::vector<std::string> AdapterPaths(HidBackend& backend) {
  std::vector<std::string> adapters;
  for (const std::string& path :
       backend.EnumerateInterfaces().value_or(std::vector<std::string>{})) {
    auto handle = backend.OpenRead(path);
    if (!handle) continue;
    const auto identity = ReadAdapterIdentity(*handle, path);
    if (identity && IsUsableAdapter(*identity)) adapters.push_back(path);
  }
  return adapters;
}

}  // namespace kr35
