#include "hid/hid_device.h"

namespace kr35 {

HidDevice::~HidDevice() {
  CloseReadHandle();
}

void HidDevice::Close() {
  CloseReadHandle();
}

void HidDevice::CloseReadHandle() {
  if (!readHandle_) return;
  readHandle_->CancelRead();
  readHandle_.reset();
}

int HidDevice::Open(const std::string& path) {
  if (path.empty()) return 0;
  // Opening over an open device would leak its handle (and, on a channel, its
  // running reader): close it first.
  if (IsOpen()) Close();
  devicePath_ = path;
  readHandle_ = backend_.OpenRead(path);
  if (!readHandle_) return 0;

  attributes_ = HidAttributes{};
  const std::optional<AdapterIdentity> identity = ReadAdapterIdentity(*readHandle_, path);
  if (identity) {
    attributes_ = {identity->vendorId, identity->productId, identity->versionNumber};
    // The manufacturer string is informative only: failing to read it changes nothing.
    if (identity->manufacturer) manufacturerString_ = *identity->manufacturer;
    if (IsUsableAdapter(*identity)) {
      productString_ = *identity->product;
      return static_cast<int>(productString_.size()) + 1;  // bytes with the terminating zero
    }
  }
  Close();
  return 0;
}

std::optional<AdapterIdentity> HidDevice::ReadIdentity() const {
  if (!readHandle_) return std::nullopt;
  return ReadAdapterIdentity(*readHandle_, devicePath_, true);
}

int HidDevice::FindAdapter() {
  Close();
  const auto paths = backend_.EnumerateInterfaces();
  if (!paths) return 0;
  for (const std::string& path : *paths) {
    if (!path.empty() && Open(path) != 0) break;
  }
  return IsOpen() ? 1 : 0;
}

}  // namespace kr35
