// PreparsedData over hid.dll: the HidP functions on the preparsed data that
// HidD_GetPreparsedData returned, freed with HidD_FreePreparsedData. Report
// and buffer sizes beyond what the HidP functions take are refused with
// INVALID_REPORT_LENGTH or BUFFER_TOO_SMALL.
#pragma once

#include "hid/report_parsing.h"
#include "hid/win32/hid_dll.h"
#include "hid/win32/windows_headers.h"

namespace kr35 {

class HidpPreparsedData final : public PreparsedData {
 public:
  explicit HidpPreparsedData(PHIDP_PREPARSED_DATA data) : data_(data) {}
  ~HidpPreparsedData() override { Hid().FreePreparsedData(data_); }
  HidpPreparsedData(const HidpPreparsedData&) = delete;
  HidpPreparsedData& operator=(const HidpPreparsedData&) = delete;

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
  PHIDP_PREPARSED_DATA data_;
};

// The HidP records in the seam's terms.
HidpCapability FromHidpValueCaps(const HIDP_VALUE_CAPS& caps);
HidpCapability FromHidpButtonCaps(const HIDP_BUTTON_CAPS& caps);
HidpCaps FromHidpCaps(const HIDP_CAPS& caps);

}  // namespace kr35
