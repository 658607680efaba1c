// A firmware image: an 8-byte little-endian header (payload length u32,
// checksum u16, version u16) followed by the payload.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kr35 {

inline constexpr std::size_t kImageHeaderSize = 8;

// Where a payload carries the version of the firmware it holds (u16,
// little-endian, from this payload offset). The simulated adapter reports its
// installed versions from here, and the built-in images are made to match.
inline constexpr std::size_t kPayloadVersionOffset = 6;

// Sum of the bytes taken as 0..255, modulo 65536.
std::uint16_t ComputeChecksum(std::span<const std::uint8_t> payload);

// A read-only view of an image held elsewhere. The payload view never reaches
// beyond the bytes given, whatever the header announces.
class FirmwareImage {
 public:
  FirmwareImage() = default;
  explicit FirmwareImage(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  // True when the bytes hold at least a whole header.
  bool HasHeader() const { return bytes_.size() >= kImageHeaderSize; }
  const std::uint8_t* Data() const { return bytes_.data(); }
  std::span<const std::uint8_t> Bytes() const { return bytes_; }

  std::uint32_t PayloadLength() const;  // 0 without a header
  std::uint16_t Checksum() const;
  std::uint16_t Version() const;
  // The payload: PayloadLength() bytes after the header, cut to the bytes present.
  std::span<const std::uint8_t> Payload() const;
  // True when the whole announced payload is present.
  bool IsComplete() const;
  // True when the header checksum equals ComputeChecksum(Payload()) and the image is complete.
  bool ChecksumMatches() const;

 private:
  std::span<const std::uint8_t> bytes_;
};

}  // namespace kr35
