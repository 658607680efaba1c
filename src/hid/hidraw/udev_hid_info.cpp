#include "hid/hidraw/udev_hid_info.h"

#include <sys/stat.h>

#include <charconv>

namespace kr35 {
namespace {

std::optional<std::uint32_t> ParseHex(std::string_view text, std::size_t maxDigits) {
  if (text.empty() || text.size() > maxDigits) {
    return std::nullopt;
  }
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
  if (error != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

std::optional<std::uint16_t> ParseHexField(std::string_view text, std::size_t maxDigits) {
  const auto value = ParseHex(text, maxDigits);
  if (!value || *value > 0xFFFF) {
    return std::nullopt;
  }
  return static_cast<std::uint16_t>(*value);
}

std::optional<std::string> Text(const char* value) {
  if (value == nullptr) {
    return std::nullopt;
  }
  return std::string(value);
}

std::optional<std::string> NonEmptyText(const char* value) {
  if (value == nullptr || *value == '\0') {
    return std::nullopt;
  }
  return std::string(value);
}

}  // namespace

std::optional<HidId> ParseHidId(std::string_view text) {
  const std::size_t first = text.find(':');
  const std::size_t second = first == std::string_view::npos ? first : text.find(':', first + 1);
  if (second == std::string_view::npos) {
    return std::nullopt;
  }
  const auto bus = ParseHexField(text.substr(0, first), 4);
  const auto vendor = ParseHexField(text.substr(first + 1, second - first - 1), 8);
  const auto product = ParseHexField(text.substr(second + 1), 8);
  if (!bus || !vendor || !product) {
    return std::nullopt;
  }
  return HidId{*bus, *vendor, *product};
}

std::optional<std::uint16_t> ParseHex16(std::string_view text) {
  return ParseHexField(text, 4);
}

HidNodeIdentity ReadHidNodeIdentity(udev_device* hidraw) {
  HidNodeIdentity identity;
  udev_device* hid = udev_device_get_parent_with_subsystem_devtype(hidraw, "hid", nullptr);
  if (hid == nullptr) {
    return identity;
  }
  if (const char* hidId = udev_device_get_property_value(hid, "HID_ID")) {
    identity.id = ParseHidId(hidId);
  }
  udev_device* usb = nullptr;
  if (identity.id && identity.id->bus == kBusUsb) {
    usb = udev_device_get_parent_with_subsystem_devtype(hid, "usb", "usb_device");
  }
  identity.serial = NonEmptyText(udev_device_get_property_value(hid, "HID_UNIQ"));
  if (usb == nullptr) {
    identity.product = Text(udev_device_get_property_value(hid, "HID_NAME"));
    return identity;
  }
  identity.onUsbDevice = true;
  identity.usbPort = NonEmptyText(udev_device_get_sysname(usb));
  if (const char* bcd = udev_device_get_sysattr_value(usb, "bcdDevice")) {
    identity.versionNumber = ParseHex16(bcd).value_or(0);
  }
  identity.manufacturer = Text(udev_device_get_sysattr_value(usb, "manufacturer"));
  identity.product = Text(udev_device_get_sysattr_value(usb, "product"));
  if (auto serial = NonEmptyText(udev_device_get_sysattr_value(usb, "serial"))) {
    identity.serial = std::move(serial);
  }
  return identity;
}

UdevDevicePtr UdevDeviceFromFd(udev* context, int fd) {
  struct stat info {};
  if (context == nullptr || ::fstat(fd, &info) < 0 || !S_ISCHR(info.st_mode)) {
    return nullptr;
  }
  return UdevDevicePtr(udev_device_new_from_devnum(context, 'c', info.st_rdev));
}

}  // namespace kr35
