#include "app/firmware_notice.h"

#include <sstream>
#include <system_error>
#include <vector>

#include "firmware/builtin_images.h"
#include "firmware/file_io.h"
#include "firmware/firmware_image.h"

namespace kr35 {
namespace {

constexpr std::size_t kMaxFileBytes = 64 * 1024;

}  // namespace

InstalledVersions BuiltInVersions() {
  return {FirmwareImage(LoadBuiltInImage(kUsbImageId)).Version(),
          FirmwareImage(LoadBuiltInImage(kDspImageId)).Version()};
}

std::optional<std::string> NewFirmwareText(const InstalledVersions& installed,
                                           const InstalledVersions& builtIn) {
  const bool older = installed.usb < builtIn.usb || installed.dsp < builtIn.dsp;
  const bool newer = installed.usb > builtIn.usb || installed.dsp > builtIn.dsp;
  if (!older || newer) return std::nullopt;
  return "Firmware " + VersionsText(builtIn) +
         " is available for your KR35 adapter (installed: " + VersionsText(installed) + ")";
}

DismissedNotices::DismissedNotices(std::filesystem::path file) : file_(std::move(file)) {
  std::vector<std::uint8_t> bytes;
  std::string error;
  if (file_.empty() || !ReadWholeFile(file_, bytes, error, kMaxFileBytes)) return;
  std::istringstream lines(std::string(bytes.begin(), bytes.end()));
  for (std::string line; std::getline(lines, line) && keys_.size() < kMaxKeys;) {
    if (line.ends_with('\r')) line.pop_back();  // a file written with CRLF line ends
    if (!line.empty() && line.size() <= kMaxKeyLength) keys_.insert(line);
  }
}

bool DismissedNotices::Contains(const std::string& key) const {
  return keys_.contains(key);
}

bool DismissedNotices::Add(const std::string& key, std::string& error) {
  if (keys_.size() >= kMaxKeys) keys_.erase(keys_.begin());
  keys_.insert(key);
  if (file_.empty()) {
    error = "no state directory (set XDG_STATE_HOME or HOME)";
    return false;
  }
  std::error_code ec;
  std::filesystem::create_directories(file_.parent_path(), ec);
  std::string text;
  for (const std::string& each : keys_) text += each + "\n";
  const std::vector<std::uint8_t> bytes(text.begin(), text.end());
  return WriteFileAtomically(file_, bytes, error);
}

std::string DismissedNotices::KeyOf(const std::string& adapter, const std::string& programVersion) {
  std::string key;
  for (const char c : adapter + " " + programVersion) {
    if (key.size() == kMaxKeyLength) break;
    const auto byte = static_cast<unsigned char>(c);
    key += byte < 0x20 || byte == 0x7F ? '?' : c;
  }
  return key;
}

}  // namespace kr35
