// Input reports of hidraw start with the report id only on devices that
// number their reports; the core always expects byte 0 to be the report id.
// These functions put the id byte 0 in front for the other devices.
//
// Output reports need no such step: hidraw takes byte 0 of every write as the
// report number, 0 on devices without numbered reports, so reports go out
// exactly as the core builds them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kr35 {

// Where read() should put the bytes of one input report inside `buffer`.
std::span<std::uint8_t> InputReadTarget(std::span<std::uint8_t> buffer, bool usesReportIds);

// Completes a read of `bytesRead` bytes into InputReadTarget(buffer, ...):
// writes report id 0 for devices without numbered reports. Returns the
// length of the report in `buffer`, id byte included.
std::size_t FinishInputReport(std::span<std::uint8_t> buffer, bool usesReportIds,
                              std::size_t bytesRead);

}  // namespace kr35
