#include "hid/hid_device.h"

namespace kr35 {

bool IsAdapterIdentity(std::uint16_t vendorId, std::uint16_t productId) {
  return vendorId == kAdapterVendorId &&
         (productId == kAdapterProductId || productId == kAdapterAltProductId);
}

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
  if (readHandle_->GetAttributes(attributes_) &&
      IsAdapterIdentity(attributes_.vendorId, attributes_.productId)) {
    // The manufacturer string is informative only: failing to read it changes nothing.
    std::string manufacturer;
    if (readHandle_->GetManufacturerString(manufacturer)) manufacturerString_ = manufacturer;
    std::string product;
    if (readHandle_->GetProductString(product)) {
      productString_ = product;
      return static_cast<int>(product.size()) + 1;  // bytes with the terminating zero
    }
  }
  Close();
  return 0;
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
