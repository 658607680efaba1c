// Bit-level access to fields of a HID report. Fields are packed
// least-significant bit first, as HID lays them out. Callers check that the
// bit range lies inside the report; these helpers do not.
#pragma once

#include <cstdint>
#include <span>

namespace kr35 {

// Reads `bitCount` (at most 32) bits starting at `bitOffset`.
std::uint32_t ReadReportBits(std::span<const std::uint8_t> report, std::uint32_t bitOffset,
                             std::uint32_t bitCount);

// Copies `bitCount` bits starting at `bitOffset` into `out`, packed from bit 0
// of out[0]; unused high bits of the last byte are cleared.
void CopyBitsFromReport(std::span<const std::uint8_t> report, std::uint32_t bitOffset,
                        std::uint32_t bitCount, std::span<std::uint8_t> out);

// Writes the first `bitCount` bits of `in` into `report` at `bitOffset`;
// every other report bit keeps its value.
void CopyBitsIntoReport(std::span<const std::uint8_t> in, std::uint32_t bitCount,
                        std::span<std::uint8_t> report, std::uint32_t bitOffset);

}  // namespace kr35
