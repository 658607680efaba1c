// The report-parsing seam: the facts and operations the channel needs from a
// device's report descriptor. Linux implements it with our own descriptor
// parser; Windows with hid.dll's HidP functions. Field names and status codes
// follow the HidP conventions so both backends can report the same results.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

namespace kr35 {

using HidpStatus = std::uint32_t;
inline constexpr HidpStatus HIDP_STATUS_SUCCESS = 0x00110000;
inline constexpr HidpStatus HIDP_STATUS_INVALID_REPORT_TYPE = 0xC0110002;
inline constexpr HidpStatus HIDP_STATUS_INVALID_REPORT_LENGTH = 0xC0110003;
inline constexpr HidpStatus HIDP_STATUS_USAGE_NOT_FOUND = 0xC0110004;
inline constexpr HidpStatus HIDP_STATUS_BUFFER_TOO_SMALL = 0xC0110007;
inline constexpr HidpStatus HIDP_STATUS_INCOMPATIBLE_REPORT_ID = 0xC011000A;

enum class HidReportType : std::uint8_t { kInput = 0, kOutput = 1, kFeature = 2 };

struct HidpCaps {
  std::uint16_t usage = 0;
  std::uint16_t usagePage = 0;
  std::uint16_t inputReportByteLength = 0;   // counts the report-id byte
  std::uint16_t outputReportByteLength = 0;  // counts the report-id byte
  std::uint16_t featureReportByteLength = 0;
  std::uint16_t numberInputButtonCaps = 0;
  std::uint16_t numberInputValueCaps = 0;
  std::uint16_t numberOutputButtonCaps = 0;
  std::uint16_t numberOutputValueCaps = 0;
  std::uint16_t numberFeatureButtonCaps = 0;
  std::uint16_t numberFeatureValueCaps = 0;
};

// One value or button capability. For a range, usageMin..usageMax; otherwise `usage`.
struct HidpCapability {
  std::uint16_t usagePage = 0;
  std::uint8_t reportId = 0;
  bool isRange = false;
  std::uint16_t usage = 0;
  std::uint16_t usageMin = 0;
  std::uint16_t usageMax = 0;
  std::uint16_t linkCollection = 0;
  std::uint16_t bitSize = 0;      // per value (value caps)
  std::uint16_t reportCount = 0;  // values in the array (value caps)
  std::int32_t logicalMin = 0;
  std::int32_t logicalMax = 0;
};
using HidpValueCaps = HidpCapability;
using HidpButtonCaps = HidpCapability;

struct UsageAndPage {
  std::uint16_t usage = 0;
  std::uint16_t usagePage = 0;
};

// The parsed form of one device's report descriptor ("preparsed data").
class PreparsedData {
 public:
  virtual ~PreparsedData() = default;

  virtual HidpStatus GetCaps(HidpCaps& caps) const = 0;
  // Capabilities of a report type in the platform's order; 0 filters nothing.
  // `count` holds the room in `caps` and receives the number filled.
  virtual HidpStatus GetSpecificButtonCaps(HidReportType type, std::uint16_t usagePage,
                                           std::uint16_t linkCollection, std::uint16_t usage,
                                           HidpButtonCaps* caps, std::uint16_t& count) const = 0;
  virtual HidpStatus GetSpecificValueCaps(HidReportType type, std::uint16_t usagePage,
                                          std::uint16_t linkCollection, std::uint16_t usage,
                                          HidpValueCaps* caps, std::uint16_t& count) const = 0;
  // The button usages that are on in `report`. `length` holds the room in
  // `list`; on success it receives the number found. When more are on than
  // fit: HIDP_STATUS_BUFFER_TOO_SMALL.
  virtual HidpStatus GetUsagesEx(HidReportType type, std::uint16_t linkCollection,
                                 UsageAndPage* list, std::uint32_t& length,
                                 std::span<const std::uint8_t> report) const = 0;
  // Copies the value array of (usagePage, usage) out of `report` into
  // `buffer` only when the capability belongs to the report's id and the array
  // fits; otherwise `buffer` is left as it was and a failure status returned.
  virtual HidpStatus GetUsageValueArray(HidReportType type, std::uint16_t usagePage,
                                        std::uint16_t linkCollection, std::uint16_t usage,
                                        std::span<std::uint8_t> buffer,
                                        std::span<const std::uint8_t> report) const = 0;
  // Writes `buffer` into `report` as the value array of (usagePage, usage).
  virtual HidpStatus SetUsageValueArray(HidReportType type, std::uint16_t usagePage,
                                        std::uint16_t linkCollection, std::uint16_t usage,
                                        std::span<const std::uint8_t> buffer,
                                        std::span<std::uint8_t> report) const = 0;
};

}  // namespace kr35
