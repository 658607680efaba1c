// The simulated adapter's report descriptor and the reports it builds on it.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "sim/hid_settings.h"

namespace kr35 {

// Report ids and usages of the simulated adapter.
inline constexpr std::uint8_t kSimButtonReportId = 1;    // input: consumer buttons
inline constexpr std::uint8_t kSimCommandReportId = 2;   // output: the command frame
inline constexpr std::uint8_t kSimResponseReportId = 3;  // input: the response frame
inline constexpr std::uint16_t kSimVendorPage = 0xFF00;
inline constexpr std::uint16_t kSimResponseUsage = 0x02;
inline constexpr std::uint16_t kSimCommandUsage = 0x03;
inline constexpr std::uint16_t kSimOutputFillerUsage = 0x04;

// Consumer-page buttons of input report 1, as bits 0, 1, 2 of its byte 2.
inline constexpr std::uint16_t kSimMuteUsage = 0xE2;
inline constexpr std::uint16_t kSimVolumeUpUsage = 0xE9;
inline constexpr std::uint16_t kSimVolumeDownUsage = 0xEA;

// The descriptor for the settings' output report length and response length:
//   report 1 (input):  byte 1 the button code (constant field, no capability),
//                      byte 2 bits 0-2 Mute, Volume Increment, Volume Decrement
//   report 3 (input):  the response, a value array of responseLength bytes
//   report 2 (output): the command frame, a value array of L bytes, then a
//                      filler array up to the output report length
std::vector<std::uint8_t> BuildSimReportDescriptor(const HidSettings& settings);

// Input report 1 (`length` bytes, zero-filled): the code in byte 1 and the
// buttons whose usages are listed on in byte 2.
std::vector<std::uint8_t> BuildSimButtonReport(std::uint8_t code,
                                               std::span<const std::uint16_t> usages,
                                               std::size_t length);

}  // namespace kr35
