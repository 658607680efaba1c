// Where the download history is kept by default: on Linux
// $XDG_STATE_HOME/kr35/history.jsonl (~/.local/state/kr35/ without it), on
// Windows %LOCALAPPDATA%\KR35\history.jsonl.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace kr35 {

// None when neither the variable nor the home directory is known.
std::optional<std::filesystem::path> DefaultHistoryPath();

// What --history=FILE|none and the kind of run choose: none with "none",
// FILE when given, else the default for a real adapter and none for the
// simulator or a replay (the user's history never holds simulated adapters).
std::optional<std::filesystem::path> ChosenHistoryPath(const std::optional<std::string>& option,
                                                       bool simulatedRun);

}  // namespace kr35
