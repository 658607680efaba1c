#include "adapter/download_history.h"

#include <mutex>

namespace kr35 {
namespace {

std::mutex installedMutex;
std::shared_ptr<DownloadHistory> installed;  // guarded by installedMutex

}  // namespace

void InstallDownloadHistory(std::shared_ptr<DownloadHistory> history) {
  std::lock_guard lock(installedMutex);
  installed = std::move(history);
}

std::shared_ptr<DownloadHistory> InstalledDownloadHistory() {
  std::lock_guard lock(installedMutex);
  return installed;
}

void InterruptOpenDownloads(const std::string& reason) {
  if (const auto history = InstalledDownloadHistory()) history->InterruptOpen(reason);
}

}  // namespace kr35
