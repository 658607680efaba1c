// Records a session: decorators of the HID backend seam and of the
// device-notification seam that pass every call through unchanged and write
// what the device did as lines of a recording (see recording_format.h).
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>

#include "hid/device_notification.h"
#include "hid/hid_io.h"
#include "record/unbuffered_file.h"

namespace kr35 {

// The recording file. Each line goes to the kernel with one write as soon as
// it is complete (no user-space buffer), so a crash or an unplug keeps every
// line written so far. Thread-safe.
class RecordingFile {
 public:
  // Creates (truncates) the file and writes the header line naming `program`;
  // null with `error` when it cannot be written.
  static std::shared_ptr<RecordingFile> Create(const std::string& path, std::string_view program,
                                               std::string& error);
  RecordingFile(const RecordingFile&) = delete;
  RecordingFile& operator=(const RecordingFile&) = delete;

  // Writes {"t_us":T,"event":"EVENT",FIELDS}; `fields` is JSON members without braces.
  void Write(std::string_view event, std::string_view fields);
  // An input report read on read handle `handle`.
  void RecordRead(int handle, std::span<const std::uint8_t> report);
  // Runs `write` (an output report going out) and writes its line, holding
  // the file meanwhile so that no answer to it can be written before it.
  template <typename WriteReport>
  bool RecordWrite(int writer, std::span<const std::uint8_t> report, WriteReport&& write) {
    std::lock_guard lock(mutex_);
    const bool ok = write();
    AppendReportLine("write", "writer", writer, report, &ok);
    return ok;
  }
  int NextReadHandle();
  int NextWriteHandle();
  // Empty while every line reached the file; else how many lines were lost
  // and why the first failed write failed.
  std::string LostLines() const;

 private:
  RecordingFile() = default;
  void StartLine(std::string& line, std::string_view event) const;
  // Writes the line out under the output lock, which is taken last of all.
  void EndLine(std::string& line);
  void AppendReportLine(std::string_view event, std::string_view idKey, int id,
                        std::span<const std::uint8_t> report, const bool* ok);

  std::mutex mutex_;                // orders a report line with the write it records
  mutable std::mutex outputMutex_;  // the file itself
  UnbufferedFile file_;
  std::string path_;
  long long lostLines_ = 0;
  std::string line_;  // reused, so a report line costs no allocation
  const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  int readHandles_ = 0;
  int writeHandles_ = 0;
};

class RecordingHidBackend final : public HidBackend {
 public:
  RecordingHidBackend(HidBackend& inner, std::shared_ptr<RecordingFile> file)
      : inner_(inner), file_(std::move(file)) {}

  std::optional<std::vector<std::string>> EnumerateInterfaces() override;
  std::unique_ptr<HidReadHandle> OpenRead(const std::string& path,
                                          OpenError* error = nullptr) override;
  std::unique_ptr<HidWriteHandle> OpenWrite(const std::string& path) override;
  ClaimAttempt TryClaim(const std::string& path) override { return inner_.TryClaim(path); }
  std::unique_ptr<AdapterClaim> HoldMirrorMark(const std::string& key) override {
    return inner_.HoldMirrorMark(key);
  }
  bool MirrorMarkHeld(const std::string& key) override { return inner_.MirrorMarkHeld(key); }

 private:
  void RecordOpen(std::string_view event, std::string_view key, const std::string& path, int id);

  HidBackend& inner_;
  std::shared_ptr<RecordingFile> file_;
};

class RecordingNotificationBackend final : public DeviceNotificationBackend {
 public:
  RecordingNotificationBackend(DeviceNotificationBackend& inner,
                               std::shared_ptr<RecordingFile> file)
      : inner_(inner), file_(std::move(file)) {}

  PlatformVersion GetPlatformVersion() override { return inner_.GetPlatformVersion(); }
  std::unique_ptr<NotificationRegistration> Register(DialogQueue* queue) override;

 private:
  DeviceNotificationBackend& inner_;
  std::shared_ptr<RecordingFile> file_;
};

}  // namespace kr35
