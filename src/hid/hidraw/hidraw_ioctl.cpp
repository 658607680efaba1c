#include "hid/hidraw/hidraw_ioctl.h"

#include <linux/hidraw.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace kr35 {

std::optional<HidrawRawInfo> QueryRawInfo(int fd) {
  hidraw_devinfo info{};
  if (::ioctl(fd, HIDIOCGRAWINFO, &info) < 0) {
    return std::nullopt;
  }
  return HidrawRawInfo{info.bustype, static_cast<std::uint16_t>(info.vendor),
                       static_cast<std::uint16_t>(info.product)};
}

std::optional<std::string> QueryRawName(int fd) {
  std::array<char, 256> name{};
  const int length = ::ioctl(fd, HIDIOCGRAWNAME(name.size()), name.data());
  if (length < 0) {
    return std::nullopt;
  }
  // The kernel terminates the name within the buffer; stay bounded regardless.
  const std::size_t limit = std::min<std::size_t>(static_cast<std::size_t>(length), name.size());
  return std::string(name.data(), ::strnlen(name.data(), limit));
}

std::optional<std::vector<std::uint8_t>> QueryReportDescriptor(int fd) {
  int size = 0;
  if (::ioctl(fd, HIDIOCGRDESCSIZE, &size) < 0 || size < 0 || size > HID_MAX_DESCRIPTOR_SIZE) {
    return std::nullopt;
  }
  hidraw_report_descriptor descriptor{};
  descriptor.size = static_cast<std::uint32_t>(size);
  if (::ioctl(fd, HIDIOCGRDESC, &descriptor) < 0) {
    return std::nullopt;
  }
  return std::vector<std::uint8_t>(descriptor.value, descriptor.value + size);
}

}  // namespace kr35
