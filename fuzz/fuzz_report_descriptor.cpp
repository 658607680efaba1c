// Parses arbitrary bytes as a report descriptor; when they parse, runs every
// PreparsedData operation on reports of the stated lengths filled from the input.
#include <cstddef>
#include <cstdint>
#include <span>

#include "hid/report_descriptor_parser.h"
#include "preparsed_exercise.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> input(data, size);
  auto parsed = kr35::ParseReportDescriptor(input);
  if (!parsed) return 0;
  kr35::fuzz::ExerciseAll(*parsed, input);
  return 0;
}
