#include "hid/hidraw/hidraw_enumeration.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <tuple>

#include "hid/hidraw/udev_handles.h"

namespace kr35 {
namespace {

constexpr std::string_view kPrefix = "hidraw";

std::optional<std::uint64_t> NodeNumber(std::string_view name) {
  if (!name.starts_with(kPrefix) || name.size() == kPrefix.size()) {
    return std::nullopt;
  }
  const std::string_view digits = name.substr(kPrefix.size());
  std::uint64_t number = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  if (error != std::errc() || end != digits.data() + digits.size()) {
    return std::nullopt;
  }
  return number;
}

}  // namespace

bool HidrawNameLess(std::string_view a, std::string_view b) {
  const auto numberA = NodeNumber(a);
  const auto numberB = NodeNumber(b);
  // Numbered names first (false < true), then by number, then by name.
  return std::forward_as_tuple(!numberA.has_value(), numberA.value_or(0), a) <
         std::forward_as_tuple(!numberB.has_value(), numberB.value_or(0), b);
}

std::optional<std::vector<HidrawNodeEntry>> EnumerateHidrawNodes(udev* context) {
  if (context == nullptr) {
    return std::nullopt;
  }
  UdevEnumeratePtr enumerate(udev_enumerate_new(context));
  if (!enumerate || udev_enumerate_add_match_subsystem(enumerate.get(), "hidraw") < 0 ||
      udev_enumerate_scan_devices(enumerate.get()) < 0) {
    return std::nullopt;
  }
  std::vector<HidrawNodeEntry> nodes;
  udev_list_entry* entry = nullptr;
  udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate.get())) {
    const char* syspath = udev_list_entry_get_name(entry);
    UdevDevicePtr device(udev_device_new_from_syspath(context, syspath));
    if (!device) {
      continue;  // gone between the scan and now
    }
    const char* devnode = udev_device_get_devnode(device.get());
    const char* sysname = udev_device_get_sysname(device.get());
    if (devnode == nullptr || sysname == nullptr) {
      continue;
    }
    nodes.push_back({sysname, devnode, syspath});
  }
  std::sort(nodes.begin(), nodes.end(), [](const HidrawNodeEntry& a, const HidrawNodeEntry& b) {
    return HidrawNameLess(a.sysname, b.sysname);
  });
  return nodes;
}

}  // namespace kr35
