#include "hid/hidraw/report_id_scan.h"

#include <cstddef>

namespace kr35 {
namespace {

constexpr std::uint8_t kLongItemPrefix = 0xFE;
// Global item, tag 8 (Report ID); the low two bits give the data size.
constexpr std::uint8_t kReportIdTagAndType = 0x84;

}  // namespace

bool DescriptorUsesReportIds(std::span<const std::uint8_t> descriptor) {
  std::size_t pos = 0;
  while (pos < descriptor.size()) {
    const std::uint8_t prefix = descriptor[pos];
    std::size_t itemSize = 0;
    if (prefix == kLongItemPrefix) {
      if (pos + 1 >= descriptor.size()) {
        return false;
      }
      itemSize = 3 + std::size_t{descriptor[pos + 1]};
    } else {
      constexpr std::size_t kDataSizes[] = {0, 1, 2, 4};
      itemSize = 1 + kDataSizes[prefix & 0x03];
      if ((prefix & 0xFC) == kReportIdTagAndType) {
        return pos + itemSize <= descriptor.size();
      }
    }
    if (itemSize > descriptor.size() - pos) {
      return false;
    }
    pos += itemSize;
  }
  return false;
}

}  // namespace kr35
