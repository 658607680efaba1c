// Where every download is recorded: a sink the program installs once at
// start-up, which every Adapter::Download tells of its begin and end. Any
// caller of Adapter::Download (a dialog, kr35ctl download, several adapters
// updated at once) is recorded without code of its own.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "adapter/download_plan.h"
#include "hid/adapter_identity.h"
#include "protocol/frames.h"

namespace kr35 {

// Told of downloads from any thread; an implementation serialises its
// records. A record that cannot be written never stops or changes the
// download.
class DownloadHistory {
 public:
  virtual ~DownloadHistory() = default;
  // Before the first frame, and on disk when it returns. Returns the id
  // that ties the download's later records to this one.
  virtual std::string Begin(const AdapterIdentity& adapter,
                            const std::optional<InstalledVersions>& before,
                            const DownloadPlan& plan) = 0;
  virtual void End(const std::string& id, const DownloadOutcome& outcome,
                   std::chrono::milliseconds duration) = 0;
  // The versions the adapter reports after a download that was done.
  virtual void After(const std::string& id, const InstalledVersions& after) = 0;
  // Ends every download begun and not ended as interrupted: the program is
  // about to end in the middle of them (a second Ctrl+C).
  virtual void InterruptOpen(const std::string& reason) = 0;
};

// The sink every Adapter::Download records to; none: nothing is recorded.
void InstallDownloadHistory(std::shared_ptr<DownloadHistory> history);
std::shared_ptr<DownloadHistory> InstalledDownloadHistory();

// For the signal paths that end the program during a download.
void InterruptOpenDownloads(const std::string& reason);

}  // namespace kr35
