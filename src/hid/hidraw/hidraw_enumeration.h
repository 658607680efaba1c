// Lists the present hidraw nodes through udev, in the order of their numbers.
#pragma once

#include <libudev.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kr35 {

struct HidrawNodeEntry {
  std::string sysname;  // "hidraw3"
  std::string devnode;  // "/dev/hidraw3"
  std::string syspath;
};

// Orders node names by their number: hidraw2 before hidraw10. Names without
// a number come last, by name.
bool HidrawNameLess(std::string_view a, std::string_view b);

// Nodes that have a device node; nullopt when udev cannot list them.
std::optional<std::vector<HidrawNodeEntry>> EnumerateHidrawNodes(udev* context);

}  // namespace kr35
