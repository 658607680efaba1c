#include "hid/win32/hidp_preparsed_data.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace kr35 {
namespace {

// The HidP status codes are the seam's codes; the seam's names are hidden
// here by the Windows macros of the same names, which carry the same values.
HidpStatus Status(NTSTATUS status) {
  return static_cast<HidpStatus>(status);
}

HIDP_REPORT_TYPE ReportType(HidReportType type) {
  switch (type) {
    case HidReportType::kInput:
      return HidP_Input;
    case HidReportType::kOutput:
      return HidP_Output;
    case HidReportType::kFeature:
      return HidP_Feature;
  }
  return HidP_Input;
}

constexpr std::size_t kMaxReportLength = std::numeric_limits<ULONG>::max();
constexpr std::size_t kMaxValueArrayLength = std::numeric_limits<USHORT>::max();

// HidP takes reports and value buffers through non-const pointers; the
// reading functions do not write through them.
PCHAR ReportPointer(std::span<const std::uint8_t> bytes) {
  return const_cast<PCHAR>(reinterpret_cast<const char*>(bytes.data()));
}

}  // namespace

HidpCaps FromHidpCaps(const HIDP_CAPS& caps) {
  HidpCaps result;
  result.usage = caps.Usage;
  result.usagePage = caps.UsagePage;
  result.inputReportByteLength = caps.InputReportByteLength;
  result.outputReportByteLength = caps.OutputReportByteLength;
  result.featureReportByteLength = caps.FeatureReportByteLength;
  result.numberInputButtonCaps = caps.NumberInputButtonCaps;
  result.numberInputValueCaps = caps.NumberInputValueCaps;
  result.numberOutputButtonCaps = caps.NumberOutputButtonCaps;
  result.numberOutputValueCaps = caps.NumberOutputValueCaps;
  result.numberFeatureButtonCaps = caps.NumberFeatureButtonCaps;
  result.numberFeatureValueCaps = caps.NumberFeatureValueCaps;
  return result;
}

// The fields value and button capabilities share.
template <typename Caps>
HidpCapability FromCommonCaps(const Caps& caps) {
  HidpCapability result;
  result.usagePage = caps.UsagePage;
  result.reportId = caps.ReportID;
  result.isRange = caps.IsRange != FALSE;
  if (result.isRange) {
    result.usageMin = caps.Range.UsageMin;
    result.usageMax = caps.Range.UsageMax;
  } else {
    result.usage = result.usageMin = result.usageMax = caps.NotRange.Usage;
  }
  result.linkCollection = caps.LinkCollection;
  return result;
}

HidpCapability FromHidpValueCaps(const HIDP_VALUE_CAPS& caps) {
  HidpCapability result = FromCommonCaps(caps);
  result.bitSize = caps.BitSize;
  result.reportCount = caps.ReportCount;
  result.logicalMin = caps.LogicalMin;
  result.logicalMax = caps.LogicalMax;
  return result;
}

HidpCapability FromHidpButtonCaps(const HIDP_BUTTON_CAPS& caps) {
  HidpCapability result = FromCommonCaps(caps);
  result.bitSize = 1;
  return result;
}

HidpStatus HidpPreparsedData::GetCaps(HidpCaps& caps) const {
  HIDP_CAPS platform{};
  const NTSTATUS status = Hid().GetCaps(data_, &platform);
  if (status == HIDP_STATUS_SUCCESS) caps = FromHidpCaps(platform);
  return Status(status);
}

HidpStatus HidpPreparsedData::GetSpecificButtonCaps(HidReportType type, std::uint16_t usagePage,
                                                    std::uint16_t linkCollection,
                                                    std::uint16_t usage, HidpButtonCaps* caps,
                                                    std::uint16_t& count) const {
  std::vector<HIDP_BUTTON_CAPS> platform(caps ? count : 0);
  USHORT length = static_cast<USHORT>(platform.size());
  const NTSTATUS status = Hid().GetSpecificButtonCaps(ReportType(type), usagePage, linkCollection,
                                                      usage, platform.data(), &length, data_);
  const std::size_t filled = std::min<std::size_t>(length, platform.size());
  std::transform(platform.begin(), platform.begin() + static_cast<std::ptrdiff_t>(filled), caps,
                 FromHidpButtonCaps);
  count = static_cast<std::uint16_t>(filled);
  return Status(status);
}

HidpStatus HidpPreparsedData::GetSpecificValueCaps(HidReportType type, std::uint16_t usagePage,
                                                   std::uint16_t linkCollection,
                                                   std::uint16_t usage, HidpValueCaps* caps,
                                                   std::uint16_t& count) const {
  std::vector<HIDP_VALUE_CAPS> platform(caps ? count : 0);
  USHORT length = static_cast<USHORT>(platform.size());
  const NTSTATUS status = Hid().GetSpecificValueCaps(ReportType(type), usagePage, linkCollection,
                                                     usage, platform.data(), &length, data_);
  const std::size_t filled = std::min<std::size_t>(length, platform.size());
  std::transform(platform.begin(), platform.begin() + static_cast<std::ptrdiff_t>(filled), caps,
                 FromHidpValueCaps);
  count = static_cast<std::uint16_t>(filled);
  return Status(status);
}

HidpStatus HidpPreparsedData::GetUsagesEx(HidReportType type, std::uint16_t linkCollection,
                                          UsageAndPage* list, std::uint32_t& length,
                                          std::span<const std::uint8_t> report) const {
  if (report.size() > kMaxReportLength) return Status(HIDP_STATUS_INVALID_REPORT_LENGTH);
  std::vector<USAGE_AND_PAGE> platform(list ? length : 0);
  ULONG found = static_cast<ULONG>(platform.size());
  const NTSTATUS status =
      Hid().GetUsagesEx(ReportType(type), linkCollection, platform.data(), &found, data_,
                        ReportPointer(report), static_cast<ULONG>(report.size()));
  if (status == HIDP_STATUS_SUCCESS) {
    const std::size_t filled = std::min<std::size_t>(found, platform.size());
    for (std::size_t i = 0; i < filled; ++i) {
      list[i] = UsageAndPage{platform[i].Usage, platform[i].UsagePage};
    }
    length = static_cast<std::uint32_t>(filled);
  } else if (status == HIDP_STATUS_BUFFER_TOO_SMALL) {
    length = found;  // the number that are on
  }
  return Status(status);
}

HidpStatus HidpPreparsedData::GetUsageValueArray(HidReportType type, std::uint16_t usagePage,
                                                 std::uint16_t linkCollection, std::uint16_t usage,
                                                 std::span<std::uint8_t> buffer,
                                                 std::span<const std::uint8_t> report) const {
  if (report.size() > kMaxReportLength) return Status(HIDP_STATUS_INVALID_REPORT_LENGTH);
  if (buffer.size() > kMaxValueArrayLength) return Status(HIDP_STATUS_BUFFER_TOO_SMALL);
  // Read into a copy, so a failure leaves the caller's buffer as it was.
  std::vector<char> values(buffer.size());
  const NTSTATUS status =
      Hid().GetUsageValueArray(ReportType(type), usagePage, linkCollection, usage, values.data(),
                               static_cast<USHORT>(values.size()), data_, ReportPointer(report),
                               static_cast<ULONG>(report.size()));
  if (status == HIDP_STATUS_SUCCESS) {
    std::transform(values.begin(), values.end(), buffer.begin(),
                   [](char value) { return static_cast<std::uint8_t>(value); });
  }
  return Status(status);
}

HidpStatus HidpPreparsedData::SetUsageValueArray(HidReportType type, std::uint16_t usagePage,
                                                 std::uint16_t linkCollection, std::uint16_t usage,
                                                 std::span<const std::uint8_t> buffer,
                                                 std::span<std::uint8_t> report) const {
  if (report.size() > kMaxReportLength) return Status(HIDP_STATUS_INVALID_REPORT_LENGTH);
  if (buffer.size() > kMaxValueArrayLength) return Status(HIDP_STATUS_BUFFER_TOO_SMALL);
  return Status(Hid().SetUsageValueArray(ReportType(type), usagePage, linkCollection, usage,
                                         ReportPointer(buffer), static_cast<USHORT>(buffer.size()),
                                         data_, reinterpret_cast<PCHAR>(report.data()),
                                         static_cast<ULONG>(report.size())));
}

}  // namespace kr35
