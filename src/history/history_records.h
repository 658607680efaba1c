// The records of the download history and the updates read back from it.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "adapter/download_plan.h"
#include "hid/adapter_identity.h"
#include "protocol/frames.h"

namespace kr35 {

// The time as the history writes it: UTC, ISO 8601 with milliseconds.
std::string HistoryTime(std::chrono::system_clock::time_point time);

// One line each (without the newline).
std::string BeginRecord(const std::string& id, const std::string& time, const std::string& program,
                        const std::string& version, const AdapterIdentity& adapter,
                        const std::optional<InstalledVersions>& before, const DownloadPlan& plan);
std::string EndRecord(const std::string& id, const std::string& time,
                      const DownloadOutcome& outcome, std::chrono::milliseconds duration);
std::string InterruptedEndRecord(const std::string& id, const std::string& time,
                                 const std::string& reason);
std::string AfterRecord(const std::string& id, const std::string& time,
                        const InstalledVersions& after);

struct HistoryImage {
  std::string part;  // "DSP" or "USB"
  bool builtIn = true;
  std::string path;
  std::string sha256;
  std::optional<std::uint32_t> length;
  std::optional<std::uint16_t> checksum;
  std::optional<std::uint16_t> version;
};

// One download: its begin, and its end and versions after when recorded.
struct HistoryEntry {
  std::string id;
  std::string time;
  std::string program;
  std::string version;
  AdapterIdentity adapter;
  std::optional<InstalledVersions> before;
  std::vector<HistoryImage> images;
  bool ended = false;
  std::string outcome;  // with ended
  std::string part;     // where it ended, empty when not said
  std::string step;
  std::optional<std::uint64_t> block;
  std::vector<int> answer;
  std::string reason;
  std::optional<std::uint64_t> durationMs;
  std::optional<InstalledVersions> after;

  // Left unfinished: never ended (the program was killed), ended as
  // interrupted, or the adapter went away during it.
  bool Interrupted() const;
  // "at the DSP part, step block, block 12", or empty when nothing says.
  std::string WhereItEnded() const;
};

struct HistoryRead {
  std::vector<HistoryEntry> entries;  // oldest first
  std::vector<std::string> warnings;  // lines skipped, files unreadable
};

// Reads the older generation and then `path`. A missing file is an empty
// history. A line that is not a record (a torn last line after a power
// loss) is skipped with a warning.
HistoryRead ReadHistory(const std::filesystem::path& path);

// The latest entry of `adapter`: the same serial number when it has one,
// else the same USB port.
const HistoryEntry* LastEntryOf(const std::vector<HistoryEntry>& entries,
                                const AdapterIdentity& adapter);

// "the last update of this adapter, begun TIME, was interrupted at ...".
std::string InterruptedUpdateText(const HistoryEntry& entry);

// When the adapter's latest update was left unfinished: says when, how far
// it got and how to finish it; empty otherwise.
std::string InterruptedUpdateNotice(const std::vector<HistoryEntry>& entries,
                                    const AdapterIdentity& adapter);

}  // namespace kr35
