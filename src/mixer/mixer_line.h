// One line of an open mixer device with its controls, in platform order.
#pragma once

#include <cstdint>
#include <vector>

#include "mixer/mixer_api.h"
#include "mixer/mixer_control.h"

namespace kr35 {

class MixerLine {
 public:
  MixerLine(MixerApi& api, const MixerLineInfo& info);

  const MixerLineInfo& Info() const { return info_; }
  std::uint32_t ComponentType() const { return info_.dwComponentType; }
  const std::vector<MixerControl>& Controls() const { return controls_; }

  // Reads all controls of the line. True when they were read or the line has
  // none; false when the platform refused (no controls are created then).
  bool LoadControls(MixerHandle handle);

  // The first control in list order of type `controlType`; null when none.
  MixerControl* FindControl(std::uint32_t controlType);

 private:
  MixerApi* api_;
  MixerLineInfo info_;
  std::vector<MixerControl> controls_;
};

}  // namespace kr35
