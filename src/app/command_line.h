// The program's command-line rules.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kr35 {

// Splits a raw command line the Windows way: blanks (space, tab) separate
// arguments, double quotes group words into one argument and are removed.
// `raw` is the part of the command line after the program name.
std::vector<std::string> SplitCommandLine(std::string_view raw);

// True for an argument that begins with '-' or '/'.
bool IsSwitch(std::string_view argument);

// The first argument that is not a switch, or empty when there is none.
// `arguments` excludes the program name.
std::string FindParameter(const std::vector<std::string>& arguments);

enum class DownloadMode { kStandard, kFull };
// No parameter: the standard mode; any parameter: the FULL mode.
DownloadMode ModeForParameter(std::string_view parameter);

// The parameter that makes the FULL mode write dump files (exact, case-sensitive).
inline constexpr std::string_view kSaveAsResFileParameter = "saveasresfile";
inline constexpr std::string_view kDspDumpFileName = "DSPFileDump.bin";
inline constexpr std::string_view kUsbDumpFileName = "USBFileDump.bin";

}  // namespace kr35
