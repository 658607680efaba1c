// Rebuilds the report fields behind recorded capabilities, so the parser
// that answers for a descriptor answers for them too.
#include <algorithm>
#include <map>

#include "hid/report_descriptor_model.h"
#include "hid/report_descriptor_preparsed.h"
#include "record/recorded_caps.h"

namespace kr35 {
namespace {

constexpr std::uint32_t kFirstDataBit = 8;  // byte 0 holds the report id

class FieldBuilder {
 public:
  FieldBuilder(ParsedDescriptor& parsed, HidReportType type, std::uint16_t byteLength)
      : parsed_(parsed), type_(type), reportBits_(std::uint64_t{byteLength} * 8) {}

  // False when the capability cannot lie in its report.
  bool Add(const RecordedCap& entry, bool isButton) {
    const HidpCapability& cap = entry.cap;
    if (cap.isRange && cap.usageMin > cap.usageMax) return false;
    const UsageSpan span{cap.usagePage, cap.isRange ? cap.usageMin : cap.usage,
                         cap.isRange ? cap.usageMax : cap.usage, cap.isRange};
    ReportField field;
    field.type = type_;
    field.reportId = cap.reportId;
    field.isButton = isButton;
    // Button capabilities of one bit (all of them, from hid.dll) are a bit per
    // usage; wider ones are array indices.
    field.isArray = isButton && cap.bitSize > 1;
    if (field.isArray && cap.bitSize > kMaxArrayElementBits) return false;
    if (!isButton && (cap.bitSize == 0 || cap.bitSize > kMaxReportSizeBits)) return false;
    field.bitSize = isButton && !field.isArray ? 1 : cap.bitSize;
    const std::uint32_t count =
        isButton && !field.isArray ? span.Size() : std::max<std::uint32_t>(cap.reportCount, 1);
    if (count > 0xFFFF) return false;
    field.reportCount = static_cast<std::uint16_t>(count);
    field.logicalMin = cap.logicalMin;
    field.logicalMax = cap.logicalMax;
    field.linkCollection = cap.linkCollection;
    std::uint32_t& next = nextBit_.try_emplace(cap.reportId, kFirstDataBit).first->second;
    field.bitOffset = entry.bitOffset.value_or(next);
    const std::uint64_t bits = std::uint64_t{field.bitSize} * field.reportCount;
    if (field.bitOffset < kFirstDataBit || field.bitOffset + bits > reportBits_) return false;
    next = std::max(next, static_cast<std::uint32_t>(field.bitOffset + bits));

    ReportTypeModel& model = parsed_.types[static_cast<std::size_t>(type_)];
    CapEntry capEntry{cap, 0, 0};
    if (field.isArray && SharesLastArray(field)) {
      // Usages of one array come as one capability each, over the same bits.
      parsed_.fields.back().usages.push_back(span);
    } else {
      field.usages = {span};
      parsed_.fields.push_back(std::move(field));
    }
    capEntry.field = static_cast<std::uint32_t>(parsed_.fields.size() - 1);
    (isButton ? model.buttonCaps : model.valueCaps).push_back(capEntry);
    return true;
  }

 private:
  bool SharesLastArray(const ReportField& field) const {
    if (parsed_.fields.empty()) return false;
    const ReportField& last = parsed_.fields.back();
    return last.type == field.type && last.isArray && last.reportId == field.reportId &&
           last.bitOffset == field.bitOffset && last.bitSize == field.bitSize &&
           last.reportCount == field.reportCount && last.usages.size() < kMaxUsagesPerMainItem;
  }

  ParsedDescriptor& parsed_;
  const HidReportType type_;
  const std::uint64_t reportBits_;
  std::map<std::uint8_t, std::uint32_t> nextBit_;  // where the next unplaced field goes
};

}  // namespace

std::unique_ptr<PreparsedData> PreparsedDataFromCaps(const RecordedCaps& caps) {
  ParsedDescriptor parsed;
  parsed.usagePage = caps.usagePage;
  parsed.usage = caps.usage;
  bool anyReport = false;
  for (std::size_t t = 0; t < kReportTypeCount; ++t) {
    const std::uint16_t byteLength = caps.byteLength[t];
    if (byteLength > kMaxReportBytes) return nullptr;
    parsed.types[t].byteLength = byteLength;
    anyReport = anyReport || byteLength != 0;
    FieldBuilder builder(parsed, static_cast<HidReportType>(t), byteLength);
    for (const RecordedCap& entry : caps.values[t]) {
      if (!builder.Add(entry, false)) return nullptr;
    }
    for (const RecordedCap& entry : caps.buttons[t]) {
      if (!builder.Add(entry, true)) return nullptr;
    }
  }
  if (!anyReport) return nullptr;
  return std::make_unique<DescriptorPreparsedData>(std::move(parsed));
}

}  // namespace kr35
