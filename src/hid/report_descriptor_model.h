// What the descriptor parser produces: the report fields (one per Input,
// Output or Feature main item) and the capabilities derived from them, in
// descriptor order per report type.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "hid/report_parsing.h"

namespace kr35 {

// Bounds on what an untrusted descriptor may ask for; anything beyond is rejected.
inline constexpr std::size_t kMaxDescriptorBytes = 4096;  // like the kernel's limit
inline constexpr std::size_t kMaxReportBytes = 4096;      // one report, id byte included
inline constexpr std::size_t kMaxCollectionDepth = 32;
inline constexpr std::size_t kMaxCollections = 256;
inline constexpr std::size_t kMaxGlobalStackDepth = 8;     // Push without Pop
inline constexpr std::size_t kMaxUsagesPerMainItem = 256;  // usages and usage ranges
inline constexpr std::size_t kMaxFields = 1024;
inline constexpr std::size_t kMaxCaps = 1024;              // all types together
inline constexpr std::uint32_t kMaxReportSizeBits = 256;   // Report Size of one element
inline constexpr std::uint32_t kMaxArrayElementBits = 32;  // Report Size of an array index

inline constexpr std::size_t kReportTypeCount = 3;

// One usage or usage range as given by the local items of a main item.
struct UsageSpan {
  std::uint16_t page = 0;
  std::uint16_t min = 0;
  std::uint16_t max = 0;  // equals min for a single usage
  bool isRange = false;

  std::uint32_t Size() const { return static_cast<std::uint32_t>(max) - min + 1U; }
};

// One Input, Output or Feature main item: `reportCount` elements of
// `bitSize` bits from `bitOffset`, counted from the start of the report
// (bit 0 of byte 0, the report id byte).
struct ReportField {
  HidReportType type = HidReportType::kInput;
  std::uint8_t reportId = 0;
  std::uint32_t bitOffset = 0;
  std::uint16_t bitSize = 0;
  std::uint16_t reportCount = 0;
  bool isArray = false;
  bool isButton = false;        // arrays and 1-bit variable items
  std::int64_t logicalMin = 0;  // a 32-bit maximum may be unsigned, hence 64 bits
  std::int64_t logicalMax = 0;
  std::uint16_t linkCollection = 0;
  std::vector<UsageSpan> usages;
};

// A capability and where its elements lie: elements firstElement ..
// firstElement + cap.reportCount - 1 of field `field` (arrays: all elements).
struct CapEntry {
  HidpCapability cap;
  std::uint32_t field = 0;
  std::uint16_t firstElement = 0;
};

struct ReportTypeModel {
  std::uint16_t byteLength = 0;  // 0 when the descriptor has no report of this type
  std::vector<CapEntry> buttonCaps;
  std::vector<CapEntry> valueCaps;
};

struct ParsedDescriptor {
  std::uint16_t usage = 0;  // of the first top-level collection
  std::uint16_t usagePage = 0;
  std::vector<ReportField> fields;
  std::array<ReportTypeModel, kReportTypeCount> types;
};

}  // namespace kr35
