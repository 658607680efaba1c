// The download history on disk: one JSON object per line, appended with
// one write call per record to a file opened for appending and flushed to
// disk before the call returns, so records of concurrent downloads and
// programs never share a line and a begin is on disk before the first frame.
// At 1 MiB the file is renamed to history.1.jsonl (one older generation
// kept) and a new one begun. A record that cannot be written is dropped;
// the first such failure is told to `warn`, the download goes on.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <set>
#include <string>

#include "adapter/download_history.h"

namespace kr35 {

inline constexpr std::uintmax_t kHistoryRotateBytes = std::uintmax_t{1} << 20;

// "history.1.jsonl" beside "history.jsonl": the one older generation.
std::filesystem::path RotatedHistoryPath(const std::filesystem::path& path);

class HistoryFile final : public DownloadHistory {
 public:
  using Warn = std::function<void(const std::string&)>;
  HistoryFile(std::filesystem::path path, std::string program, std::string version, Warn warn = {});

  std::string Begin(const AdapterIdentity& adapter, const std::optional<InstalledVersions>& before,
                    const DownloadPlan& plan) override;
  void End(const std::string& id, const DownloadOutcome& outcome,
           std::chrono::milliseconds duration) override;
  void After(const std::string& id, const InstalledVersions& after) override;
  void InterruptOpen(const std::string& reason) override;

  const std::filesystem::path& Path() const { return path_; }

 private:
  // Appends one line (the record and its newline) in one write; false when it failed.
  bool Append(const std::string& line);

  std::filesystem::path path_;
  std::string program_;
  std::string version_;
  Warn warn_;
  std::mutex mutex_;            // one record at a time from this program
  std::set<std::string> open_;  // begun, not yet ended; guarded by mutex_
  bool warned_ = false;         // guarded by mutex_
  std::uint64_t count_ = 0;     // guarded by mutex_
};

}  // namespace kr35
