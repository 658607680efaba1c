// Parses arbitrary text as a scenario file; a scenario that parses is written
// back out, and that text must parse to the same scenario file again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "sim/scenario.h"
#include "sim/scenario_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string error;
  const auto scenario =
      kr35::ParseScenario(std::string_view(reinterpret_cast<const char*>(data), size), error);
  if (!scenario) return 0;
  const std::string written = kr35::ScenarioToJson(*scenario);
  const auto again = kr35::ParseScenario(written, error);
  if (!again || kr35::ScenarioToJson(*again) != written) std::abort();
  return 0;
}
