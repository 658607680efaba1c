// PreparsedData over a parsed report descriptor, answering as hid.dll's HidP
// functions do. Choices where HidP leaves room:
// - capabilities come in descriptor order per report type;
// - a filter of 0 (page, link collection, usage) matches anything; a usage
//   filter matches a range that contains it;
// - capability queries fill up to the room given: SUCCESS when all matches
//   fit, BUFFER_TOO_SMALL (count = number filled) when more match,
//   USAGE_NOT_FOUND when none do;
// - GetUsagesEx with more usages on than fit the list: BUFFER_TOO_SMALL,
//   `length` = the number on, the list filled up to its room;
// - a report shorter than the type's byte length is INVALID_REPORT_LENGTH;
//   extra bytes beyond it are ignored;
// - value arrays may have any bit size and bit offset: they are copied bit by
//   bit, packed from bit 0 of the buffer;
// - SetUsageValueArray writes the report id into byte 0, but refuses a report
//   already holding another id (INCOMPATIBLE_REPORT_ID), so a report being
//   built for one id is never silently turned into another.
#pragma once

#include <utility>

#include "hid/report_descriptor_model.h"
#include "hid/report_parsing.h"

namespace kr35 {

class DescriptorPreparsedData final : public PreparsedData {
 public:
  explicit DescriptorPreparsedData(ParsedDescriptor parsed) : parsed_(std::move(parsed)) {}

  HidpStatus GetCaps(HidpCaps& caps) const override;
  HidpStatus GetSpecificButtonCaps(HidReportType type, std::uint16_t usagePage,
                                   std::uint16_t linkCollection, std::uint16_t usage,
                                   HidpButtonCaps* caps, std::uint16_t& count) const override;
  HidpStatus GetSpecificValueCaps(HidReportType type, std::uint16_t usagePage,
                                  std::uint16_t linkCollection, std::uint16_t usage,
                                  HidpValueCaps* caps, std::uint16_t& count) const override;
  HidpStatus GetUsagesEx(HidReportType type, std::uint16_t linkCollection, UsageAndPage* list,
                         std::uint32_t& length,
                         std::span<const std::uint8_t> report) const override;
  HidpStatus GetUsageValueArray(HidReportType type, std::uint16_t usagePage,
                                std::uint16_t linkCollection, std::uint16_t usage,
                                std::span<std::uint8_t> buffer,
                                std::span<const std::uint8_t> report) const override;
  HidpStatus SetUsageValueArray(HidReportType type, std::uint16_t usagePage,
                                std::uint16_t linkCollection, std::uint16_t usage,
                                std::span<const std::uint8_t> buffer,
                                std::span<std::uint8_t> report) const override;

 private:
  const ReportTypeModel* ModelOf(HidReportType type) const;
  // The value capability of (page, usage), not a range, preferring the one of
  // report `reportId`; null when there is none.
  const CapEntry* FindValueCap(const ReportTypeModel& model, std::uint16_t usagePage,
                               std::uint16_t linkCollection, std::uint16_t usage,
                               std::uint8_t reportId) const;

  ParsedDescriptor parsed_;
};

}  // namespace kr35
