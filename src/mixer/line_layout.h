// A backend's description of a mixer's destination lines and their
// controls, and the line and control queries answered from it. Shared by the
// ALSA backend and the simulated mixer, which both present destinations only.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "mixer/mixer_api.h"

namespace kr35 {

struct LayoutControl {
  std::uint32_t id = 0;
  std::uint32_t type = 0;
  std::string name;
  std::int32_t minimum = 0;
  std::int32_t maximum = 0;
};

struct LayoutLine {
  std::uint32_t id = 0;
  std::uint32_t componentType = 0;
  std::uint32_t channels = 1;
  std::string name;
  std::vector<LayoutControl> controls;
};

// GetLineInfo on `destinations`: by destination index; a source request
// fails, as the layout has no sources.
MMRESULT FillLineInfo(std::span<const LayoutLine> destinations, MixerLineInfo& line,
                      std::uint32_t flags);
// GetLineControls on `destinations`: all controls of line `lineId`, whose
// count must equal `controls.size()`.
MMRESULT FillLineControls(std::span<const LayoutLine> destinations, std::uint32_t lineId,
                          std::span<MixerControlInfo> controls);
// The control with id `controlId`, or null.
const LayoutControl* FindLayoutControl(std::span<const LayoutLine> destinations,
                                       std::uint32_t controlId);

}  // namespace kr35
