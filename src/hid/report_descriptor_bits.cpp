#include "hid/report_descriptor_bits.h"

#include <algorithm>

namespace kr35 {
namespace {

bool GetBit(std::span<const std::uint8_t> bytes, std::uint32_t bit) {
  return ((bytes[bit / 8] >> (bit % 8)) & 1U) != 0;
}

void SetBit(std::span<std::uint8_t> bytes, std::uint32_t bit, bool on) {
  const auto mask = static_cast<std::uint8_t>(1U << (bit % 8));
  if (on) {
    bytes[bit / 8] |= mask;
  } else {
    bytes[bit / 8] &= static_cast<std::uint8_t>(~mask);
  }
}

}  // namespace

std::uint32_t ReadReportBits(std::span<const std::uint8_t> report, std::uint32_t bitOffset,
                             std::uint32_t bitCount) {
  std::uint32_t value = 0;
  for (std::uint32_t i = 0; i < bitCount && i < 32; ++i) {
    if (GetBit(report, bitOffset + i)) value |= 1U << i;
  }
  return value;
}

void CopyBitsFromReport(std::span<const std::uint8_t> report, std::uint32_t bitOffset,
                        std::uint32_t bitCount, std::span<std::uint8_t> out) {
  const std::uint32_t byteCount = (bitCount + 7) / 8;
  if (bitOffset % 8 == 0 && bitCount % 8 == 0) {
    std::copy_n(report.begin() + bitOffset / 8, byteCount, out.begin());
    return;
  }
  std::fill_n(out.begin(), byteCount, std::uint8_t{0});
  for (std::uint32_t i = 0; i < bitCount; ++i) {
    if (GetBit(report, bitOffset + i)) SetBit(out, i, true);
  }
}

void CopyBitsIntoReport(std::span<const std::uint8_t> in, std::uint32_t bitCount,
                        std::span<std::uint8_t> report, std::uint32_t bitOffset) {
  if (bitOffset % 8 == 0 && bitCount % 8 == 0) {
    std::copy_n(in.begin(), bitCount / 8, report.begin() + bitOffset / 8);
    return;
  }
  for (std::uint32_t i = 0; i < bitCount; ++i) SetBit(report, bitOffset + i, GetBit(in, i));
}

}  // namespace kr35
