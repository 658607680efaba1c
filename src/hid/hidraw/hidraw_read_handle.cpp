#include "hid/hidraw/hidraw_read_handle.h"

#include "hid/hidraw/hidraw_ioctl.h"
#include "hid/hidraw/report_id_scan.h"
#include "hid/report_descriptor_parser.h"

namespace kr35 {
namespace {

// Without a descriptor nothing tells; take the reads as they come.
bool UsesReportIds(const std::optional<std::vector<std::uint8_t>>& descriptor) {
  return !descriptor || DescriptorUsesReportIds(*descriptor);
}

bool Give(const std::optional<std::string>& value, std::string& text) {
  if (!value) {
    return false;
  }
  text = *value;
  return true;
}

}  // namespace

HidrawReadHandle::HidrawReadHandle(UniqueFd fd, std::optional<std::vector<std::uint8_t>> descriptor)
    : descriptor_(std::move(descriptor)), reader_(std::move(fd), UsesReportIds(descriptor_)) {}

const HidNodeIdentity& HidrawReadHandle::Identity() {
  if (!identity_) {
    identity_.emplace();
    UdevPtr context(udev_new());
    if (UdevDevicePtr device = UdevDeviceFromFd(context.get(), reader_.Fd())) {
      *identity_ = ReadHidNodeIdentity(device.get());
    }
  }
  return *identity_;
}

bool HidrawReadHandle::GetAttributes(HidAttributes& attributes) {
  const auto info = QueryRawInfo(reader_.Fd());
  if (!info) {
    return false;
  }
  attributes.vendorId = info->vendorId;
  attributes.productId = info->productId;
  attributes.versionNumber = Identity().versionNumber;
  return true;
}

bool HidrawReadHandle::GetManufacturerString(std::string& text) {
  return Give(Identity().manufacturer, text);
}

bool HidrawReadHandle::GetProductString(std::string& text) {
  const HidNodeIdentity& identity = Identity();
  std::optional<std::string> product = identity.product;
  if (!product && !identity.onUsbDevice) {
    product = QueryRawName(reader_.Fd());
  }
  return Give(product, text);
}

bool HidrawReadHandle::GetSerialNumberString(std::string& text) {
  return Give(Identity().serial, text);
}

bool HidrawReadHandle::GetPortPath(std::string& text) {
  return Give(Identity().usbPort, text);
}

std::unique_ptr<PreparsedData> HidrawReadHandle::GetPreparsedData() {
  if (!descriptor_) {
    return nullptr;
  }
  return ParseReportDescriptor(*descriptor_);
}

}  // namespace kr35
