// Reads arbitrary text as a recording's capabilities (the "caps" of a
// descriptor line); when they make a report parser, runs every PreparsedData
// operation on it.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "preparsed_exercise.h"
#include "record/recorded_caps.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> input(data, size);
  const auto json = nlohmann::json::parse(input.begin(), input.end(), nullptr, false);
  if (json.is_discarded()) return 0;
  std::unique_ptr<kr35::PreparsedData> parsed;
  try {
    parsed = kr35::PreparsedDataFromCaps(kr35::CapsFromJson(json));
  } catch (const std::exception&) {
    return 0;
  }
  if (parsed) kr35::fuzz::ExerciseAll(*parsed, input);
  return 0;
}
