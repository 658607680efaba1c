// What udev and sysfs tell about one hidraw node: the ids from the HID
// parent, and the strings and release number of the USB device behind it.
// Works without opening the node.
#pragma once

#include <libudev.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "hid/hidraw/udev_handles.h"

namespace kr35 {

inline constexpr std::uint16_t kBusUsb = 0x03;

struct HidId {
  std::uint16_t bus = 0;
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
};

// Parses the HID_ID property, "BBBB:VVVVVVVV:PPPPPPPP" in hexadecimal.
std::optional<HidId> ParseHidId(std::string_view text);
// Parses a 16-bit hexadecimal sysfs value such as bcdDevice ("0100").
std::optional<std::uint16_t> ParseHex16(std::string_view text);

struct HidNodeIdentity {
  std::optional<HidId> id;
  bool onUsbDevice = false;         // the strings below come from a USB device
  std::uint16_t versionNumber = 0;  // bcdDevice of the USB device; 0 elsewhere
  std::optional<std::string> manufacturer;
  std::optional<std::string> product;
  // The USB device's serial number, or else the HID device's unique id
  // (HID_UNIQ: Bluetooth and uhid devices); none when empty or absent.
  std::optional<std::string> serial;
  // The USB device's port path ("1-2.3"), its name in sysfs; none off USB.
  std::optional<std::string> usbPort;
};

// `hidraw` is a device of subsystem "hidraw". The USB device's strings are
// used only for HID devices on the USB bus (a Bluetooth device also has a
// USB parent: its radio); elsewhere the product is the HID name and there is
// no manufacturer.
HidNodeIdentity ReadHidNodeIdentity(udev_device* hidraw);

// The udev device of the character device open on `fd`, or null.
UdevDevicePtr UdevDeviceFromFd(udev* context, int fd);

}  // namespace kr35
