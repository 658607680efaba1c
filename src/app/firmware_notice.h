// "New firmware is available": whether an adapter's installed firmware is
// older than the images built into the program, the notice's text, and the
// notices the user dismissed.
#pragma once

#include <filesystem>
#include <optional>
#include <set>
#include <string>

#include "protocol/frames.h"

namespace kr35 {

// The notice's action, and the agent's menu entry, that open the download dialog.
inline constexpr const char* kOpenDownloadUtilityLabel = "Open KR35 Download Utility";
// The notice's title.
inline constexpr const char* kNewFirmwareTitle = "New firmware is available";

// The versions of the built-in images.
InstalledVersions BuiltInVersions();

// The notice when `installed` is older than `builtIn`: a part older, compared
// as numbers, and none newer (a download would take that one back). None
// otherwise.
std::optional<std::string> NewFirmwareText(const InstalledVersions& installed,
                                           const InstalledVersions& builtIn);

// The notices dismissed, one key a line (an adapter and a program version),
// in a file of the state directory. A file that cannot be read is taken as
// empty; at most kMaxKeys keys of at most kMaxKeyLength bytes are kept.
class DismissedNotices {
 public:
  static constexpr std::size_t kMaxKeys = 256;
  static constexpr std::size_t kMaxKeyLength = 200;

  explicit DismissedNotices(std::filesystem::path file);
  bool Contains(const std::string& key) const;
  // Adds the key and writes the file whole (its directory created); false
  // with `error` when it cannot be written.
  bool Add(const std::string& key, std::string& error);

  // The key of an adapter (its serial number, else its USB port, else its
  // path) and a program version: printable, one line, bounded.
  static std::string KeyOf(const std::string& adapter, const std::string& programVersion);

 private:
  std::filesystem::path file_;
  std::set<std::string> keys_;
};

}  // namespace kr35
