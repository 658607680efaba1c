#include "record/recorded_caps.h"

#include <algorithm>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>

#include <nlohmann/json.hpp>

#include "hid/report_descriptor_model.h"

namespace kr35 {
namespace {

using Json = nlohmann::json;

constexpr std::array<HidReportType, 3> kTypes = {HidReportType::kInput, HidReportType::kOutput,
                                                 HidReportType::kFeature};
constexpr std::array<const char*, 3> kTypeNames = {"input", "output", "feature"};
constexpr std::array<const char*, 3> kLengthKeys = {
    "inputReportByteLength", "outputReportByteLength", "featureReportByteLength"};
// Probing the buttons costs one parser call per bit of each report id; above
// this many the offsets are left unknown.
constexpr std::size_t kMaxButtonProbes = 64 * 1024;
constexpr std::uint32_t kFirstDataBit = 8;  // byte 0 holds the report id

std::vector<RecordedCap> ListCaps(const PreparsedData& parsed, HidReportType type, bool values) {
  std::array<HidpCapability, kMaxRecordedCapsPerList> list{};
  std::uint16_t count = static_cast<std::uint16_t>(list.size());
  const HidpStatus status = values
                                ? parsed.GetSpecificValueCaps(type, 0, 0, 0, list.data(), count)
                                : parsed.GetSpecificButtonCaps(type, 0, 0, 0, list.data(), count);
  std::vector<RecordedCap> caps;
  if (status != HIDP_STATUS_SUCCESS && status != HIDP_STATUS_BUFFER_TOO_SMALL) return caps;
  for (std::uint16_t i = 0; i < std::min<std::size_t>(count, list.size()); ++i) {
    caps.push_back(RecordedCap{list[i], std::nullopt});
  }
  return caps;
}

std::optional<std::uint32_t> FirstSetBit(std::span<const std::uint8_t> report) {
  for (std::uint32_t bit = kFirstDataBit; bit < report.size() * 8; ++bit) {
    if ((report[bit / 8] >> (bit % 8)) & 1U) return bit;
  }
  return std::nullopt;
}

// A value array filled with ones lands on exactly its own bits.
void ProbeValues(const PreparsedData& parsed, HidReportType type, std::uint16_t byteLength,
                 std::vector<RecordedCap>& caps) {
  std::vector<std::uint8_t> report(byteLength);
  for (RecordedCap& entry : caps) {
    const HidpCapability& cap = entry.cap;
    const std::size_t bytes = (std::size_t{cap.bitSize} * cap.reportCount + 7) / 8;
    if (cap.isRange || bytes == 0 || bytes > byteLength) continue;
    const std::vector<std::uint8_t> ones(bytes, 0xFF);
    std::fill(report.begin(), report.end(), std::uint8_t{0});
    report[0] = cap.reportId;
    if (parsed.SetUsageValueArray(type, cap.usagePage, cap.linkCollection, cap.usage, ones,
                                  report) == HIDP_STATUS_SUCCESS) {
      entry.bitOffset = FirstSetBit(report);
    }
  }
}

// Sets one bit at a time and notes the first bit that turns each usage on.
void ProbeButtons(const PreparsedData& parsed, HidReportType type, std::uint16_t byteLength,
                  std::vector<RecordedCap>& caps) {
  std::map<std::uint8_t, std::map<std::pair<std::uint16_t, std::uint16_t>, std::uint32_t>> firstBit;
  for (const RecordedCap& entry : caps) firstBit[entry.cap.reportId];
  if (firstBit.size() * byteLength * 8 > kMaxButtonProbes) return;
  std::vector<std::uint8_t> report(byteLength);
  std::array<UsageAndPage, kMaxRecordedCapsPerList> usages{};
  for (auto& [reportId, found] : firstBit) {
    for (std::uint32_t bit = kFirstDataBit; bit < std::uint32_t{byteLength} * 8; ++bit) {
      std::fill(report.begin(), report.end(), std::uint8_t{0});
      report[0] = reportId;
      report[bit / 8] = static_cast<std::uint8_t>(report[bit / 8] | (1U << (bit % 8)));
      std::uint32_t length = static_cast<std::uint32_t>(usages.size());
      if (parsed.GetUsagesEx(type, 0, usages.data(), length, report) != HIDP_STATUS_SUCCESS) {
        continue;
      }
      for (std::uint32_t i = 0; i < std::min<std::size_t>(length, usages.size()); ++i) {
        found.try_emplace({usages[i].usagePage, usages[i].usage}, bit);
      }
    }
  }
  const RecordedCap* previous = nullptr;
  for (RecordedCap& entry : caps) {
    const auto& found = firstBit[entry.cap.reportId];
    const std::uint16_t first = entry.cap.isRange ? entry.cap.usageMin : entry.cap.usage;
    const auto bit = found.find({entry.cap.usagePage, first});
    if (bit != found.end()) {
      entry.bitOffset = bit->second;
    } else if (previous && previous->cap.bitSize > 1 &&
               previous->cap.reportId == entry.cap.reportId &&
               previous->cap.bitSize == entry.cap.bitSize &&
               previous->cap.reportCount == entry.cap.reportCount) {
      // A later usage of an array needs an index no single bit gives; it
      // shares the bits of the array's first usage.
      entry.bitOffset = previous->bitOffset;
    }
    previous = &entry;
  }
}

Json CapJson(const RecordedCap& entry) {
  const HidpCapability& cap = entry.cap;
  return {{"usagePage", cap.usagePage},
          {"reportId", cap.reportId},
          {"isRange", cap.isRange},
          {"usage", cap.usage},
          {"usageMin", cap.usageMin},
          {"usageMax", cap.usageMax},
          {"linkCollection", cap.linkCollection},
          {"bitSize", cap.bitSize},
          {"reportCount", cap.reportCount},
          {"logicalMin", cap.logicalMin},
          {"logicalMax", cap.logicalMax},
          {"bitOffset", entry.bitOffset ? Json(*entry.bitOffset) : Json()}};
}

// An integer of `json[key]` within [min, max]; `fallback` when the key is
// missing (it came later than the first recordings).
std::int64_t Number(const Json& json, const char* key, std::int64_t min, std::int64_t max,
                    std::optional<std::int64_t> fallback = std::nullopt) {
  if (fallback && (!json.contains(key) || json.at(key).is_null())) return *fallback;
  const Json& value = json.at(key);
  if (!value.is_number_integer()) throw std::runtime_error(std::string("caps: ") + key);
  const auto number = value.get<std::int64_t>();
  if (number < min || number > max || (value.is_number_unsigned() && number < 0)) {
    throw std::runtime_error(std::string("caps: ") + key + " out of range");
  }
  return number;
}

std::uint16_t Word(const Json& json, const char* key, std::optional<std::int64_t> fallback = {}) {
  return static_cast<std::uint16_t>(Number(json, key, 0, 0xFFFF, fallback));
}

RecordedCap CapFromJson(const Json& json) {
  RecordedCap entry;
  HidpCapability& cap = entry.cap;
  cap.usagePage = Word(json, "usagePage");
  cap.reportId = static_cast<std::uint8_t>(Number(json, "reportId", 0, 0xFF));
  cap.isRange = json.at("isRange").get<bool>();
  cap.usage = Word(json, "usage");
  cap.usageMin = Word(json, "usageMin");
  cap.usageMax = Word(json, "usageMax");
  cap.linkCollection = Word(json, "linkCollection", 0);
  cap.bitSize = Word(json, "bitSize");
  cap.reportCount = Word(json, "reportCount");
  cap.logicalMin = static_cast<std::int32_t>(Number(json, "logicalMin", INT32_MIN, INT32_MAX));
  cap.logicalMax = static_cast<std::int32_t>(Number(json, "logicalMax", INT32_MIN, INT32_MAX));
  if (json.contains("bitOffset") && !json.at("bitOffset").is_null()) {
    entry.bitOffset = static_cast<std::uint32_t>(Number(json, "bitOffset", 0, kMaxReportBytes * 8));
  }
  return entry;
}

}  // namespace

std::optional<RecordedCaps> ProbeCaps(const PreparsedData& parsed) {
  HidpCaps top;
  if (parsed.GetCaps(top) != HIDP_STATUS_SUCCESS) return std::nullopt;
  RecordedCaps caps;
  caps.usagePage = top.usagePage;
  caps.usage = top.usage;
  caps.byteLength = {top.inputReportByteLength, top.outputReportByteLength,
                     top.featureReportByteLength};
  for (std::size_t t = 0; t < kTypes.size(); ++t) {
    caps.values[t] = ListCaps(parsed, kTypes[t], true);
    caps.buttons[t] = ListCaps(parsed, kTypes[t], false);
    if (caps.byteLength[t] == 0) continue;
    ProbeValues(parsed, kTypes[t], caps.byteLength[t], caps.values[t]);
    ProbeButtons(parsed, kTypes[t], caps.byteLength[t], caps.buttons[t]);
  }
  return caps;
}

Json CapsToJson(const RecordedCaps& caps) {
  Json json = {{"usagePage", caps.usagePage}, {"usage", caps.usage}};
  for (std::size_t t = 0; t < kTypes.size(); ++t) {
    json[kLengthKeys[t]] = caps.byteLength[t];
    for (const bool values : {true, false}) {
      Json entries = Json::array();
      for (const RecordedCap& entry : values ? caps.values[t] : caps.buttons[t]) {
        entries.push_back(CapJson(entry));
      }
      json[std::string(kTypeNames[t]) + (values ? "Values" : "Buttons")] = std::move(entries);
    }
  }
  return json;
}

RecordedCaps CapsFromJson(const Json& json) {
  if (!json.is_object()) throw std::runtime_error("caps are not an object");
  RecordedCaps caps;
  caps.usagePage = Word(json, "usagePage");
  caps.usage = Word(json, "usage");
  for (std::size_t t = 0; t < kTypes.size(); ++t) {
    caps.byteLength[t] =
        static_cast<std::uint16_t>(Number(json, kLengthKeys[t], 0, kMaxReportBytes));
    for (const bool values : {true, false}) {
      const Json& list = json.at(std::string(kTypeNames[t]) + (values ? "Values" : "Buttons"));
      if (!list.is_array() || list.size() > kMaxRecordedCapsPerList) {
        throw std::runtime_error("caps: too many capabilities");
      }
      auto& out = values ? caps.values[t] : caps.buttons[t];
      for (const Json& entry : list) out.push_back(CapFromJson(entry));
    }
  }
  return caps;
}

}  // namespace kr35
