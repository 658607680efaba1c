// What a recording keeps of a device's report description where the
// descriptor's bytes are not to be had (Windows): the capabilities the report
// parser returned, and where in its report each one's bits lie, found by
// probing the parser.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "hid/report_parsing.h"

namespace kr35 {

// At most this many value or button capabilities of one report type are kept.
inline constexpr std::size_t kMaxRecordedCapsPerList = 64;

struct RecordedCap {
  HidpCapability cap;
  // The bit of the report (byte 0 bit 0 first) where the capability's first
  // element lies; unknown when the parser could not be probed for it.
  std::optional<std::uint32_t> bitOffset;
};

struct RecordedCaps {
  std::uint16_t usagePage = 0;
  std::uint16_t usage = 0;
  std::array<std::uint16_t, 3> byteLength{};  // input, output, feature
  std::array<std::vector<RecordedCap>, 3> values;
  std::array<std::vector<RecordedCap>, 3> buttons;
};

// What `parsed` says of itself; null when it gives no caps.
std::optional<RecordedCaps> ProbeCaps(const PreparsedData& parsed);

nlohmann::json CapsToJson(const RecordedCaps& caps);
// Throws std::runtime_error when `json` is not caps as CapsToJson writes them
// or breaks their bounds.
RecordedCaps CapsFromJson(const nlohmann::json& json);

// A report parser answering from recorded caps; null when they describe no
// usable report (a field outside its report, counts out of bounds). A
// capability without a recorded bit offset goes after the last one placed in
// its report (from byte 1), value capabilities first.
std::unique_ptr<PreparsedData> PreparsedDataFromCaps(const RecordedCaps& caps);

}  // namespace kr35
