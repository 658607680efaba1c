#include "hid/hidraw/hidraw_diagnostics.h"

#include <cstdio>

#include "hid/hidraw/hidraw_backend.h"
#include "hid/hidraw/hidraw_enumeration.h"
#include "hid/hidraw/udev_handles.h"
#include "hid/hidraw/udev_hid_info.h"

namespace kr35 {
namespace {

constexpr std::uint16_t kAdapterVendorId = 0x3C1F;
constexpr std::uint16_t kAdapterProductIds[] = {0x5E35, 0x0B72};

}  // namespace

std::vector<HidrawNodeInfo> ListHidrawNodes() {
  std::vector<HidrawNodeInfo> result;
  UdevPtr context(udev_new());
  const auto nodes = EnumerateHidrawNodes(context.get());
  if (!nodes) {
    return result;
  }
  HidrawBackend backend;
  for (const HidrawNodeEntry& node : *nodes) {
    HidrawNodeInfo info;
    info.path = node.devnode;
    info.openable = backend.OpenRead(node.devnode, &info.openError) != nullptr;
    if (UdevDevicePtr device{udev_device_new_from_syspath(context.get(), node.syspath.c_str())}) {
      HidNodeIdentity identity = ReadHidNodeIdentity(device.get());
      if (identity.id) {
        info.idsKnown = true;
        info.vendorId = identity.id->vendorId;
        info.productId = identity.id->productId;
      }
      info.manufacturer = std::move(identity.manufacturer);
      info.product = std::move(identity.product);
    }
    result.push_back(std::move(info));
  }
  return result;
}

std::string UdevRuleLine(std::uint16_t productId) {
  for (const std::uint16_t adapterProduct : kAdapterProductIds) {
    if (adapterProduct == productId) {
      char line[160];
      std::snprintf(line, sizeof line,
                    "KERNEL==\"hidraw*\", ATTRS{idVendor}==\"%04x\", ATTRS{idProduct}==\"%04x\", "
                    "TAG+=\"uaccess\"",
                    kAdapterVendorId, productId);
      return line;
    }
  }
  return {};
}

std::string UdevRuleLines() {
  std::string lines;
  for (const std::uint16_t productId : kAdapterProductIds) {
    lines += UdevRuleLine(productId) + '\n';
  }
  return lines;
}

}  // namespace kr35
