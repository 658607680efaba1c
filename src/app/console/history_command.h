// kr35ctl history, and the notice that an adapter's last update was left
// unfinished (versions, list, update).
#pragma once

#include <CLI/CLI.hpp>

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

#include "app/console/event_printer.h"
#include "hid/adapter_identity.h"
#include "services/platform_services.h"

namespace kr35 {

struct HistoryFilter {
  std::string device;    // only updates of the adapter at this path
  std::string serial;    // only updates of the adapter with this serial number
  std::size_t last = 0;  // only the latest N; 0: all
};

// Adds the history subcommand and its options to kr35ctl's command line.
// `json` is kr35ctl's --json, which may also follow the subcommand.
CLI::App* AddHistoryCommand(CLI::App& app, HistoryFilter& filter, bool& json);

// Prints the history at `path` (none: this run keeps no history), oldest
// first, one line or JSON object per update. Warnings (lines skipped) go to
// stderr. Returns the exit status.
int RunHistoryCommand(const std::optional<std::filesystem::path>& path, const HistoryFilter& filter,
                      EventPrinter& printer);

// When the run's history says the last update of `adapter` was left
// unfinished, says so on stderr: when, how far it got, how to finish it.
void WarnIfLastUpdateInterrupted(const PlatformServices& services, const AdapterIdentity& adapter);

}  // namespace kr35
