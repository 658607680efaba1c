#include "hid/report_descriptor_preparsed.h"

#include <cstddef>
#include <optional>
#include <vector>

#include "hid/report_descriptor_bits.h"

namespace kr35 {
namespace {

bool Matches(const HidpCapability& cap, std::uint16_t usagePage, std::uint16_t linkCollection,
             std::uint16_t usage) {
  if (usagePage != 0 && cap.usagePage != usagePage) return false;
  if (linkCollection != 0 && cap.linkCollection != linkCollection) return false;
  if (usage == 0) return true;
  return cap.isRange ? usage >= cap.usageMin && usage <= cap.usageMax : cap.usage == usage;
}

HidpStatus FillCaps(const std::vector<CapEntry>& entries, std::uint16_t usagePage,
                    std::uint16_t linkCollection, std::uint16_t usage, HidpCapability* caps,
                    std::uint16_t& count) {
  const std::uint16_t room = caps == nullptr ? 0 : count;
  std::uint16_t filled = 0;
  bool any = false;
  bool overflow = false;
  for (const CapEntry& entry : entries) {
    if (!Matches(entry.cap, usagePage, linkCollection, usage)) continue;
    any = true;
    if (filled == room) {
      overflow = true;
      break;
    }
    caps[filled++] = entry.cap;
  }
  count = filled;
  if (!any) return HIDP_STATUS_USAGE_NOT_FOUND;
  return overflow ? HIDP_STATUS_BUFFER_TOO_SMALL : HIDP_STATUS_SUCCESS;
}

// The usage of element `element` of a variable field: each usage names as
// many elements as it spans, and the last one repeats for the rest.
UsageAndPage VariableUsage(const ReportField& field, std::uint32_t element) {
  for (const UsageSpan& span : field.usages) {
    if (element < span.Size()) {
      return {static_cast<std::uint16_t>(span.min + element), span.page};
    }
    element -= span.Size();
  }
  const UsageSpan& last = field.usages.back();
  return {last.max, last.page};
}

// The usage an array index selects, or false when the index selects none
// (zero, outside the logical range, or beyond the usages listed).
bool ArrayUsage(const ReportField& field, std::int64_t index, UsageAndPage& out) {
  if (index == 0 || index < field.logicalMin || index > field.logicalMax) return false;
  std::int64_t position = index - field.logicalMin;
  for (const UsageSpan& span : field.usages) {
    if (position < span.Size()) {
      out = {static_cast<std::uint16_t>(span.min + position), span.page};
      return true;
    }
    position -= span.Size();
  }
  return false;
}

std::int64_t ReadArrayIndex(const ReportField& field, std::span<const std::uint8_t> report,
                            std::uint32_t element) {
  const std::uint32_t raw =
      ReadReportBits(report, field.bitOffset + element * field.bitSize, field.bitSize);
  if (field.logicalMin >= 0) return raw;
  // A negative minimum makes the indices signed numbers of bitSize bits.
  if (field.bitSize >= 32) return static_cast<std::int32_t>(raw);
  const std::int64_t sign = std::int64_t{1} << (field.bitSize - 1);
  return (static_cast<std::int64_t>(raw) ^ sign) - sign;
}

}  // namespace

const ReportTypeModel* DescriptorPreparsedData::ModelOf(HidReportType type) const {
  const auto index = static_cast<std::size_t>(type);
  return index < parsed_.types.size() ? &parsed_.types[index] : nullptr;
}

HidpStatus DescriptorPreparsedData::GetCaps(HidpCaps& caps) const {
  auto count = [](const std::vector<CapEntry>& v) { return static_cast<std::uint16_t>(v.size()); };
  const ReportTypeModel& in = parsed_.types[0];
  const ReportTypeModel& out = parsed_.types[1];
  const ReportTypeModel& feature = parsed_.types[2];
  caps = HidpCaps{};
  caps.usage = parsed_.usage;
  caps.usagePage = parsed_.usagePage;
  caps.inputReportByteLength = in.byteLength;
  caps.outputReportByteLength = out.byteLength;
  caps.featureReportByteLength = feature.byteLength;
  caps.numberInputButtonCaps = count(in.buttonCaps);
  caps.numberInputValueCaps = count(in.valueCaps);
  caps.numberOutputButtonCaps = count(out.buttonCaps);
  caps.numberOutputValueCaps = count(out.valueCaps);
  caps.numberFeatureButtonCaps = count(feature.buttonCaps);
  caps.numberFeatureValueCaps = count(feature.valueCaps);
  return HIDP_STATUS_SUCCESS;
}

HidpStatus DescriptorPreparsedData::GetSpecificButtonCaps(HidReportType type,
                                                          std::uint16_t usagePage,
                                                          std::uint16_t linkCollection,
                                                          std::uint16_t usage, HidpButtonCaps* caps,
                                                          std::uint16_t& count) const {
  const ReportTypeModel* model = ModelOf(type);
  if (model == nullptr) {
    count = 0;
    return HIDP_STATUS_INVALID_REPORT_TYPE;
  }
  return FillCaps(model->buttonCaps, usagePage, linkCollection, usage, caps, count);
}

HidpStatus DescriptorPreparsedData::GetSpecificValueCaps(HidReportType type,
                                                         std::uint16_t usagePage,
                                                         std::uint16_t linkCollection,
                                                         std::uint16_t usage, HidpValueCaps* caps,
                                                         std::uint16_t& count) const {
  const ReportTypeModel* model = ModelOf(type);
  if (model == nullptr) {
    count = 0;
    return HIDP_STATUS_INVALID_REPORT_TYPE;
  }
  return FillCaps(model->valueCaps, usagePage, linkCollection, usage, caps, count);
}

HidpStatus DescriptorPreparsedData::GetUsagesEx(HidReportType type, std::uint16_t linkCollection,
                                                UsageAndPage* list, std::uint32_t& length,
                                                std::span<const std::uint8_t> report) const {
  const ReportTypeModel* model = ModelOf(type);
  if (model == nullptr) return HIDP_STATUS_INVALID_REPORT_TYPE;
  if (model->byteLength == 0 || report.size() < model->byteLength) {
    return HIDP_STATUS_INVALID_REPORT_LENGTH;
  }
  const std::uint8_t reportId = report[0];
  const std::uint32_t room = list == nullptr ? 0 : length;
  bool anyButtons = false;
  bool anyInReport = false;
  std::uint32_t found = 0;
  auto add = [&](UsageAndPage usage) {
    if (found < room) list[found] = usage;
    ++found;
  };
  // Several capabilities share one field (array usages, split variable
  // items); each field is read once.
  std::optional<std::uint32_t> lastField;
  for (const CapEntry& entry : model->buttonCaps) {
    if (linkCollection != 0 && entry.cap.linkCollection != linkCollection) continue;
    anyButtons = true;
    if (entry.cap.reportId != reportId || entry.field == lastField) continue;
    anyInReport = true;
    lastField = entry.field;
    const ReportField& field = parsed_.fields[entry.field];
    for (std::uint32_t e = 0; e < field.reportCount; ++e) {
      if (field.isArray) {
        UsageAndPage usage;
        if (ArrayUsage(field, ReadArrayIndex(field, report, e), usage)) add(usage);
      } else if (ReadReportBits(report, field.bitOffset + e, 1) != 0) {
        add(VariableUsage(field, e));
      }
    }
  }
  if (!anyButtons) return HIDP_STATUS_USAGE_NOT_FOUND;
  if (!anyInReport) return HIDP_STATUS_INCOMPATIBLE_REPORT_ID;
  const bool fits = found <= room;
  length = found;
  return fits ? HIDP_STATUS_SUCCESS : HIDP_STATUS_BUFFER_TOO_SMALL;
}

const CapEntry* DescriptorPreparsedData::FindValueCap(const ReportTypeModel& model,
                                                      std::uint16_t usagePage,
                                                      std::uint16_t linkCollection,
                                                      std::uint16_t usage,
                                                      std::uint8_t reportId) const {
  const CapEntry* first = nullptr;
  for (const CapEntry& entry : model.valueCaps) {
    const HidpCapability& cap = entry.cap;
    if (cap.isRange || cap.usagePage != usagePage || cap.usage != usage) continue;
    if (linkCollection != 0 && cap.linkCollection != linkCollection) continue;
    if (cap.reportId == reportId) return &entry;
    if (first == nullptr) first = &entry;
  }
  return first;
}

HidpStatus DescriptorPreparsedData::GetUsageValueArray(HidReportType type, std::uint16_t usagePage,
                                                       std::uint16_t linkCollection,
                                                       std::uint16_t usage,
                                                       std::span<std::uint8_t> buffer,
                                                       std::span<const std::uint8_t> report) const {
  const ReportTypeModel* model = ModelOf(type);
  if (model == nullptr) return HIDP_STATUS_INVALID_REPORT_TYPE;
  if (model->byteLength == 0 || report.size() < model->byteLength) {
    return HIDP_STATUS_INVALID_REPORT_LENGTH;
  }
  const CapEntry* entry = FindValueCap(*model, usagePage, linkCollection, usage, report[0]);
  if (entry == nullptr) return HIDP_STATUS_USAGE_NOT_FOUND;
  if (entry->cap.reportId != report[0]) return HIDP_STATUS_INCOMPATIBLE_REPORT_ID;
  const std::uint32_t bits = std::uint32_t{entry->cap.bitSize} * entry->cap.reportCount;
  if (buffer.size() < (bits + 7) / 8) return HIDP_STATUS_BUFFER_TOO_SMALL;
  const ReportField& field = parsed_.fields[entry->field];
  CopyBitsFromReport(report, field.bitOffset + std::uint32_t{entry->firstElement} * field.bitSize,
                     bits, buffer);
  return HIDP_STATUS_SUCCESS;
}

HidpStatus DescriptorPreparsedData::SetUsageValueArray(HidReportType type, std::uint16_t usagePage,
                                                       std::uint16_t linkCollection,
                                                       std::uint16_t usage,
                                                       std::span<const std::uint8_t> buffer,
                                                       std::span<std::uint8_t> report) const {
  const ReportTypeModel* model = ModelOf(type);
  if (model == nullptr) return HIDP_STATUS_INVALID_REPORT_TYPE;
  if (model->byteLength == 0 || report.size() < model->byteLength) {
    return HIDP_STATUS_INVALID_REPORT_LENGTH;
  }
  const CapEntry* entry = FindValueCap(*model, usagePage, linkCollection, usage, report[0]);
  if (entry == nullptr) return HIDP_STATUS_USAGE_NOT_FOUND;
  // Byte 0 is either still blank or already this report's id.
  if (report[0] != 0 && report[0] != entry->cap.reportId) {
    return HIDP_STATUS_INCOMPATIBLE_REPORT_ID;
  }
  const std::uint32_t bits = std::uint32_t{entry->cap.bitSize} * entry->cap.reportCount;
  if (buffer.size() < (bits + 7) / 8) return HIDP_STATUS_BUFFER_TOO_SMALL;
  const ReportField& field = parsed_.fields[entry->field];
  CopyBitsIntoReport(buffer, bits, report,
                     field.bitOffset + std::uint32_t{entry->firstElement} * field.bitSize);
  report[0] = entry->cap.reportId;
  return HIDP_STATUS_SUCCESS;
}

}  // namespace kr35
