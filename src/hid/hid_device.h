// One opened HID device interface, and the walk that finds the adapter.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "hid/adapter_identity.h"
#include "hid/hid_io.h"

namespace kr35 {

class HidDevice {
 public:
  explicit HidDevice(HidBackend& backend) : backend_(backend) {}
  virtual ~HidDevice();
  HidDevice(const HidDevice&) = delete;
  HidDevice& operator=(const HidDevice&) = delete;

  // Cancels pending reads and closes the read handle; nothing when closed.
  virtual void Close();
  // Non-zero when the device at `path` is the adapter and is now open; 0
  // otherwise, with the device closed.
  virtual int Open(const std::string& path);
  // Closes, then opens the first present interface that is the adapter.
  // 1 when an adapter is open afterwards, 0 otherwise.
  int FindAdapter();

  bool IsOpen() const { return readHandle_ != nullptr; }
  const HidAttributes& Attributes() const { return attributes_; }
  const std::string& DevicePath() const { return devicePath_; }
  const std::string& ManufacturerString() const { return manufacturerString_; }
  const std::string& ProductString() const { return productString_; }
  // Who the open interface is, serial number and USB port included, read now
  // through the open handle; none when closed or no longer readable.
  std::optional<AdapterIdentity> ReadIdentity() const;

 protected:
  void CloseReadHandle();

  HidBackend& backend_;
  HidAttributes attributes_;
  std::string devicePath_;
  std::unique_ptr<HidReadHandle> readHandle_;
  std::string manufacturerString_;
  std::string productString_;
};

}  // namespace kr35
