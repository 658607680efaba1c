// One device presented to the kernel through the uhid interface (/dev/uhid):
// create it with its identity and report descriptor, feed it input reports,
// take the output reports the kernel hands back, destroy it. Requests the
// kernel sends for feature reports are refused here, so no caller waits on them.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "hid/hidraw/unique_fd.h"

namespace kr35 {

inline constexpr char kUhidPath[] = "/dev/uhid";

struct UhidIdentity {
  std::string name;  // the HID name; hidraw users see it as the product string
  std::string phys;
  std::string uniq;          // hidraw users see it as the serial number
  std::uint16_t bus = 0x03;  // BUS_USB
  std::uint32_t vendorId = 0;
  std::uint32_t productId = 0;
  std::uint32_t version = 0;
  std::vector<std::uint8_t> descriptor;
};

// What one read from the kernel brought.
struct UhidEvent {
  enum class Kind { kOutput, kOpen, kClose, kOther, kClosedByKernel, kError };
  Kind kind = Kind::kOther;
  std::vector<std::uint8_t> report;  // kOutput: the output report, byte 0 its id
};

class UhidDevice {
 public:
  // Opens /dev/uhid (or another node of the same protocol); null with `error`.
  static std::unique_ptr<UhidDevice> Open(const std::string& path, std::string& error);
  // Takes an already open descriptor that speaks the uhid protocol.
  explicit UhidDevice(UniqueFd fd) : fd_(std::move(fd)) {}
  ~UhidDevice();
  UhidDevice(const UhidDevice&) = delete;
  UhidDevice& operator=(const UhidDevice&) = delete;

  // UHID_CREATE2. False (with `error`) when the identity does not fit the
  // request or the kernel refuses it.
  bool Create(const UhidIdentity& identity, std::string& error);
  // UHID_DESTROY; nothing when not created.
  void Destroy();
  bool Created() const { return created_; }
  // UHID_INPUT2 with one input report (byte 0 its id). Thread-safe with
  // respect to ReadEvent.
  bool Input(std::span<const std::uint8_t> report);
  // Reads one event; call when Fd() is readable. GET_REPORT and SET_REPORT
  // requests are answered (refused) before returning.
  UhidEvent ReadEvent();

  int Fd() const { return fd_.Get(); }

 private:
  bool Send(const void* event, std::size_t size);

  UniqueFd fd_;
  bool created_ = false;
};

}  // namespace kr35
