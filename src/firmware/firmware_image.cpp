#include "firmware/firmware_image.h"

#include <algorithm>

namespace kr35 {
namespace {

std::uint32_t ReadU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint16_t ReadU16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

}  // namespace

std::uint16_t ComputeChecksum(std::span<const std::uint8_t> payload) {
  std::uint32_t sum = 0;
  for (std::uint8_t byte : payload) sum += byte;
  return static_cast<std::uint16_t>(sum);
}

std::uint32_t FirmwareImage::PayloadLength() const {
  return HasHeader() ? ReadU32(bytes_.data()) : 0;
}

std::uint16_t FirmwareImage::Checksum() const {
  return HasHeader() ? ReadU16(bytes_.data() + 4) : 0;
}

std::uint16_t FirmwareImage::Version() const {
  return HasHeader() ? ReadU16(bytes_.data() + 6) : 0;
}

std::span<const std::uint8_t> FirmwareImage::Payload() const {
  if (!HasHeader()) return {};
  const std::size_t present = bytes_.size() - kImageHeaderSize;
  return bytes_.subspan(kImageHeaderSize, std::min<std::size_t>(PayloadLength(), present));
}

bool FirmwareImage::IsComplete() const {
  return HasHeader() && PayloadLength() <= bytes_.size() - kImageHeaderSize;
}

bool FirmwareImage::ChecksumMatches() const {
  return IsComplete() && ComputeChecksum(Payload()) == Checksum();
}

}  // namespace kr35
