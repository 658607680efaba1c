#include "app/state_directory.h"

#include <cstdlib>

namespace kr35 {
namespace {

std::filesystem::path AbsoluteFromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || value[0] == '\0') return {};
  std::filesystem::path path(value);
  return path.is_absolute() ? path : std::filesystem::path();
}

}  // namespace

std::filesystem::path StateDirectory() {
#ifdef _WIN32
  const std::filesystem::path local = AbsoluteFromEnvironment("LOCALAPPDATA");
  return local.empty() ? local : local / "KR35";
#else
  if (auto state = AbsoluteFromEnvironment("XDG_STATE_HOME"); !state.empty()) return state / "kr35";
  const std::filesystem::path home = AbsoluteFromEnvironment("HOME");
  return home.empty() ? home : home / ".local" / "state" / "kr35";
#endif
}

}  // namespace kr35
