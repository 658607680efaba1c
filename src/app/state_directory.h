// Where the programs keep what they remember between runs.
#pragma once

#include <filesystem>

namespace kr35 {

// $XDG_STATE_HOME/kr35 (else ~/.local/state/kr35) on Linux, %LOCALAPPDATA%\KR35
// on Windows; empty when the environment names no such place. Only absolute
// directories from the environment are taken.
std::filesystem::path StateDirectory();

}  // namespace kr35
