// The command line of kr35-download: our own switches, and the parameter
// that selects the FULL mode (the first argument that is not a switch).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kr35 {

struct DownloadOptions {
  bool help = false;
  bool version = false;
  bool simulate = false;
  std::string scenarioPath;            // --simulate=FILE
  std::string tracePath;               // --sim-trace=FILE
  std::string statePath;               // --sim-state=FILE
  std::string recordPath;              // --record=FILE
  std::string replayPath;              // --replay=FILE
  bool replayMaxSpeed = false;         // --replay-speed=max
  std::optional<std::string> history;  // --history=FILE|none; unset: the default
  std::string parameter;               // empty: the standard mode
  std::vector<std::string> ignoredSwitches;
  std::string error;  // a switch that needs a value has none
};

// `arguments` excludes the program name.
DownloadOptions ParseDownloadOptions(const std::vector<std::string>& arguments);

inline constexpr const char* kDownloadUsage =
    "Usage: kr35-download [--simulate[=SCENARIO]] [--sim-trace=FILE] [--sim-state=FILE] "
    "[--record=FILE] [--replay=FILE [--replay-speed=max]] [--history=FILE|none] [PARAMETER]\n"
    "Shows the installed firmware versions of the KR35 adapter and downloads new firmware.\n"
    "Without PARAMETER the built-in images are downloaded; with any PARAMETER the FULL mode\n"
    "downloads Intel HEX files named in the dialog, and the PARAMETER saveasresfile writes\n"
    "them to DSPFileDump.bin and USBFileDump.bin instead.\n"
    "  --simulate[=SCENARIO]  run on the simulated adapter (optionally with a scenario file)\n"
    "  --sim-trace=FILE       write every report of the simulated adapter to FILE\n"
    "  --sim-state=FILE       keep the simulated adapter's firmware in FILE between runs\n"
    "  --record=FILE          record what the adapter does in this session to FILE\n"
    "  --replay=FILE          play a recorded session back as the adapter\n"
    "  --replay-speed=max     replay without the recorded delays\n"
    "  --history=FILE|none    record downloads in FILE instead of the default history, or\n"
    "                         keep none (the simulator and replays keep one only with it)\n"
    "  --help                 show this text\n"
    "  --version              show the program's version\n";

}  // namespace kr35
