#include "history/history_location.h"

#include <cstdlib>

namespace kr35 {
namespace {

std::filesystem::path AbsoluteFromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || value[0] == '\0') return {};
  std::filesystem::path path = std::filesystem::u8path(value);
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

std::optional<std::filesystem::path> DefaultHistoryPath() {
  const std::filesystem::path directory = StateDirectory();
  if (directory.empty()) return std::nullopt;
  return directory / "history.jsonl";
}

std::optional<std::filesystem::path> ChosenHistoryPath(const std::optional<std::string>& option,
                                                       bool simulatedRun) {
  if (option) {
    if (*option == "none") return std::nullopt;
    return std::filesystem::u8path(*option);
  }
  return simulatedRun ? std::nullopt : DefaultHistoryPath();
}

}  // namespace kr35
