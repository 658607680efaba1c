// Parses arbitrary text as the simulator's state file; what parses stays
// within the stored-payload limit.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "sim/flash_state.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string error;
  const auto state =
      kr35::ParseFlashState(std::string_view(reinterpret_cast<const char*>(data), size), error);
  if (!state) return 0;
  for (const auto* part : {&state->usb, &state->dsp}) {
    if (*part && (*part)->size() > kr35::kMaxStoredPayload) std::abort();
    if (*part) kr35::StoredVersion(**part);
  }
  return 0;
}
