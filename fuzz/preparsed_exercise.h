// Runs every PreparsedData operation on reports of the stated lengths filled
// from the fuzzer's input; shared by the targets that build a report parser.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "hid/report_parsing.h"

namespace kr35::fuzz {

inline constexpr std::size_t kMaxValueCapsTried = 64;

inline std::vector<HidpCapability> Caps(const PreparsedData& data, HidReportType type, bool buttons,
                                        std::uint16_t room) {
  std::vector<HidpCapability> caps(room);
  std::uint16_t count = room;
  if (buttons) {
    data.GetSpecificButtonCaps(type, 0, 0, 0, caps.data(), count);
  } else {
    data.GetSpecificValueCaps(type, 0, 0, 0, caps.data(), count);
  }
  caps.resize(std::min<std::size_t>(count, room));
  return caps;
}

inline void Exercise(const PreparsedData& data, HidReportType type, std::uint16_t length,
                     std::uint16_t buttonCount, std::uint16_t valueCount,
                     std::span<const std::uint8_t> input) {
  std::vector<std::uint8_t> report(length);
  for (std::size_t i = 0; i < report.size(); ++i)
    report[i] = input[input.size() - 1 - i % input.size()];
  const auto buttons = Caps(data, type, true, buttonCount);
  const auto values = Caps(data, type, false, valueCount);
  // A filtered query with too little room.
  if (!values.empty()) {
    HidpCapability one;
    std::uint16_t count = 1;
    data.GetSpecificValueCaps(type, values[0].usagePage, values[0].linkCollection, values[0].usage,
                              &one, count);
  }

  std::vector<std::uint8_t> ids = {report.empty() ? std::uint8_t{0} : report[0]};
  for (const auto& cap : buttons) ids.push_back(cap.reportId);
  for (const auto& cap : values) ids.push_back(cap.reportId);
  std::sort(ids.begin(), ids.end());
  ids.erase(std::unique(ids.begin(), ids.end()), ids.end());

  std::vector<UsageAndPage> list(buttonCount + 1U);
  for (std::uint8_t id : ids) {
    if (!report.empty()) report[0] = id;
    std::uint32_t room = buttonCount;
    data.GetUsagesEx(type, 0, list.data(), room, report);
    room = 1;
    data.GetUsagesEx(type, 0, list.data(), room, report);

    for (std::size_t i = 0; i < values.size() && i < kMaxValueCapsTried; ++i) {
      const HidpCapability& cap = values[i];
      const std::size_t bytes = (std::size_t{cap.bitSize} * cap.reportCount + 7) / 8;
      std::vector<std::uint8_t> buffer(bytes);
      std::array<std::uint8_t, 5> latch{};
      data.GetUsageValueArray(type, cap.usagePage, 0, cap.usage, buffer, report);
      data.GetUsageValueArray(type, cap.usagePage, 0, cap.usage, latch, report);
      data.SetUsageValueArray(type, cap.usagePage, 0, cap.usage, buffer, report);
      if (!report.empty()) {
        data.SetUsageValueArray(type, cap.usagePage, 0, cap.usage, buffer,
                                std::span(report).first(report.size() - 1));
      }
    }
  }
}

inline void ExerciseAll(const PreparsedData& parsed, std::span<const std::uint8_t> input) {
  HidpCaps caps;
  if (parsed.GetCaps(caps) != HIDP_STATUS_SUCCESS || input.empty()) return;
  Exercise(parsed, HidReportType::kInput, caps.inputReportByteLength, caps.numberInputButtonCaps,
           caps.numberInputValueCaps, input);
  Exercise(parsed, HidReportType::kOutput, caps.outputReportByteLength, caps.numberOutputButtonCaps,
           caps.numberOutputValueCaps, input);
  Exercise(parsed, HidReportType::kFeature, caps.featureReportByteLength,
           caps.numberFeatureButtonCaps, caps.numberFeatureValueCaps, input);
}

}  // namespace kr35::fuzz
