// The hidraw node's own queries (ioctl): ids, name and report descriptor.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kr35 {

struct HidrawRawInfo {
  std::uint32_t busType = 0;
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
};

std::optional<HidrawRawInfo> QueryRawInfo(int fd);
// The HID name the kernel gives the device (often "manufacturer product").
std::optional<std::string> QueryRawName(int fd);
// The report descriptor, at most the kernel's limit of 4096 bytes.
std::optional<std::vector<std::uint8_t>> QueryReportDescriptor(int fd);

}  // namespace kr35
