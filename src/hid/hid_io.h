// The HID I/O seam: what the core asks of the operating system's HID stack.
// Backends: hidraw + libudev (Linux), hid.dll + setupapi (Windows), and the
// simulated adapter. Nothing platform-specific lives above this header.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "hid/adapter_claim.h"
#include "hid/report_parsing.h"

namespace kr35 {

struct HidAttributes {
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::uint16_t versionNumber = 0;
};

enum class ReadStart { kComplete, kPending, kError };
enum class ReadWait { kComplete, kTimeout, kError };

// A device interface opened for reading (overlapped on Windows, non-blocking
// on Linux). Attributes, strings and the report description are read through it.
class HidReadHandle {
 public:
  virtual ~HidReadHandle() = default;

  virtual bool GetAttributes(HidAttributes& attributes) = 0;
  // Strings in the program's narrow encoding (UTF-8 on Linux, the ANSI code
  // page on Windows); false when the device does not give them.
  virtual bool GetManufacturerString(std::string& text) = 0;
  virtual bool GetProductString(std::string& text) = 0;
  // The serial number, where the platform gives one.
  virtual bool GetSerialNumberString(std::string& /*text*/) { return false; }
  // The USB port the device sits on (Linux: the USB device's port path such
  // as "1-2.3"; the simulator: the adapter's index), where the platform gives one.
  virtual bool GetPortPath(std::string& /*text*/) { return false; }
  // The parsed report description, or null when it cannot be had.
  virtual std::unique_ptr<PreparsedData> GetPreparsedData() = 0;
  // The report descriptor's bytes, where the platform gives them (it does not
  // on Windows); only a session recording asks for them.
  virtual std::optional<std::vector<std::uint8_t>> GetReportDescriptor() { return std::nullopt; }

  // Starts reading one input report into `buffer`, which stays in use until
  // the read completes. Byte 0 receives the report id (0 for a device
  // without report ids).
  virtual ReadStart StartRead(std::span<std::uint8_t> buffer) = 0;
  // Waits at most `timeout` for the pending read. Interrupt() ends a wait early
  // with kTimeout.
  virtual ReadWait WaitRead(std::chrono::milliseconds timeout) = 0;
  // Wakes a WaitRead in progress on another thread, and any later one until
  // the handle is destroyed. Safe to call from any thread.
  virtual void Interrupt() = 0;
  // Abandons a pending read (CancelIo).
  virtual void CancelRead() = 0;
};

// A device interface opened for synchronous writes of output reports.
class HidWriteHandle {
 public:
  virtual ~HidWriteHandle() = default;
  // Writes the whole report (byte 0 is the report id); true when written.
  virtual bool Write(std::span<const std::uint8_t> report) = 0;
};

// Why an interface could not be opened; used for diagnostics only.
enum class OpenError { kNone, kNotFound, kPermissionDenied, kOther };

class HidBackend {
 public:
  virtual ~HidBackend() = default;
  // Paths of the present HID interfaces in the platform's order; nullopt when
  // the platform cannot list them at all.
  virtual std::optional<std::vector<std::string>> EnumerateInterfaces() = 0;
  virtual std::unique_ptr<HidReadHandle> OpenRead(const std::string& path,
                                                  OpenError* error = nullptr) = 0;
  virtual std::unique_ptr<HidWriteHandle> OpenWrite(const std::string& path) = 0;
  // Tries once, without waiting, to claim the adapter at `path` for this
  // process. By default nothing else can reach the adapter, so the claim
  // guards nothing.
  virtual ClaimAttempt TryClaim(const std::string& /*path*/) { return ClaimAttempt::Unguarded(); }
  // The mirror mark of one adapter (`key`: its USB port, else its path; see
  // hid/adapter_claim.h). Held, shared, by every program of ours that has the
  // adapter open in the foreground; null where nothing else can reach it.
  virtual std::unique_ptr<AdapterClaim> HoldMirrorMark(const std::string& /*key*/) {
    return nullptr;
  }
  // True while another process holds the adapter's mirror mark.
  virtual bool MirrorMarkHeld(const std::string& /*key*/) { return false; }
};

}  // namespace kr35
