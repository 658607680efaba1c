// What `kr35ctl list` shows about the hidraw nodes, including those this user
// cannot open, and the udev rule that gives access to the adapter's nodes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "hid/hid_io.h"

namespace kr35 {

struct HidrawNodeInfo {
  std::string path;       // /dev/hidrawN
  bool openable = false;  // opened for reading just now
  OpenError openError = OpenError::kNone;
  bool idsKnown = false;  // from udev, without opening the node
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::optional<std::string> manufacturer;
  std::optional<std::string> product;
};

// Every present hidraw node, by number; empty when there are none or udev
// cannot list them.
std::vector<HidrawNodeInfo> ListHidrawNodes();

// The line of dist/70-kr35.rules that gives the logged-in user access to the
// adapter's nodes with product id `productId` (empty for other products).
std::string UdevRuleLine(std::uint16_t productId = 0x5E35);
// All rule lines of that file, one per product id, each ending in '\n'.
std::string UdevRuleLines();

}  // namespace kr35
