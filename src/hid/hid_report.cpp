#include "hid/hid_report.h"

#include <algorithm>

namespace kr35 {

void HidReport::SetUpReportLength(std::uint32_t length) {
  if (length == reportLength) return;
  reportLength = length;
  reportBuffer.clear();
  reportBuffer.shrink_to_fit();
  if (length != 0) reportBuffer.assign(length, 0);
}

void HidReport::SetUpButtonCaps(std::uint16_t room) {
  if (room != buttonCapCount) {
    buttonCaps.clear();
    buttonCapCount = room;
    if (room != 0) {
      buttonCaps.assign(room, HidpButtonCaps{});
      usageList.assign(room, UsageAndPage{});
    }
  }
  if (!buttonCaps.empty() && preparsedData) {
    std::uint16_t count = static_cast<std::uint16_t>(buttonCaps.size());
    preparsedData->GetSpecificButtonCaps(reportKind, 0, 0, 0, buttonCaps.data(), count);
    buttonCapCount = std::min<std::uint16_t>(count, static_cast<std::uint16_t>(buttonCaps.size()));
  }
}

void HidReport::SetUpValueCaps(std::uint16_t room) {
  if (room != valueCapCount) {
    valueCaps.clear();
    valueCapCount = room;
    if (room != 0) valueCaps.assign(room, HidpValueCaps{});
  }
  if (!valueCaps.empty() && preparsedData) {
    std::uint16_t count = static_cast<std::uint16_t>(valueCaps.size());
    preparsedData->GetSpecificValueCaps(reportKind, 0, 0, 0, valueCaps.data(), count);
    valueCapCount = std::min<std::uint16_t>(count, static_cast<std::uint16_t>(valueCaps.size()));
  }
}

int OutputReport::WriteCommand(std::span<const std::uint8_t> frame) {
  if (reportBuffer.empty() || !writeHandle) return 0;
  if (reportLength != 0 && valueCapCount > 0 && !valueCaps.empty() && !valueCaps[0].isRange &&
      preparsedData) {
    const HidpValueCaps& cap = valueCaps[0];
    std::fill(reportBuffer.begin(), reportBuffer.end(), 0);
    // Exactly L frame bytes go out; never more than the frame holds.
    const std::size_t length = std::min<std::size_t>(cap.reportCount, frame.size());
    preparsedData->SetUsageValueArray(HidReportType::kOutput, cap.usagePage, 0, cap.usage,
                                      frame.first(length), reportBuffer);
  }
  responseEvent.Reset();
  if (!writeHandle->Write(reportBuffer)) {
    responseEvent.Set();
    return 0;
  }
  return 1;
}

}  // namespace kr35
