// Where the download history and the programs' other state are kept.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace kr35 {

// Where the programs keep what they remember between runs (the history, the
// agent's state): $XDG_STATE_HOME/kr35 (else ~/.local/state/kr35) on Linux,
// %LOCALAPPDATA%\KR35 on Windows. Empty when the environment names no such
// place; only absolute directories from the environment are taken.
std::filesystem::path StateDirectory();

// StateDirectory()/history.jsonl; none when there is no state directory.
std::optional<std::filesystem::path> DefaultHistoryPath();

// What --history=FILE|none and the kind of run choose: none with "none",
// FILE when given, else the default for a real adapter and none for the
// simulator or a replay (the user's history never holds simulated adapters).
std::optional<std::filesystem::path> ChosenHistoryPath(const std::optional<std::string>& option,
                                                       bool simulatedRun);

}  // namespace kr35
