#include "history/history_location.h"

#include <cstdlib>

namespace kr35 {
namespace {

std::optional<std::filesystem::path> Variable(const char* name) {
  const char* value = std::getenv(name);
  if (!value || !*value) return std::nullopt;
  return std::filesystem::u8path(value);
}

}  // namespace

std::optional<std::filesystem::path> DefaultHistoryPath() {
#ifdef _WIN32
  if (auto local = Variable("LOCALAPPDATA")) return *local / "KR35" / "history.jsonl";
  return std::nullopt;
#else
  // Only an absolute XDG_STATE_HOME counts; a relative one is ignored.
  if (auto state = Variable("XDG_STATE_HOME"); state && state->is_absolute()) {
    return *state / "kr35" / "history.jsonl";
  }
  if (auto home = Variable("HOME")) return *home / ".local" / "state" / "kr35" / "history.jsonl";
  return std::nullopt;
#endif
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
