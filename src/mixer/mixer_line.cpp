#include "mixer/mixer_line.h"

#include <algorithm>
#include <limits>

namespace kr35 {
namespace {

// A larger control count than this is treated as a request whose array
// cannot be allocated: the count comes from the platform and is not trusted.
constexpr std::uint32_t kMaxControlsPerLine = 1024;

}  // namespace

MixerLine::MixerLine(MixerApi& api, const MixerLineInfo& info) : api_(&api), info_(info) {}

bool MixerLine::LoadControls(MixerHandle handle) {
  controls_.clear();
  if (info_.cControls == 0) return true;
  if (info_.cControls > kMaxControlsPerLine) return false;

  std::vector<MixerControlInfo> records(info_.cControls);
  if (api_->GetLineControls(handle, info_.dwLineID, records) != MMSYSERR_NOERROR) return false;

  const auto channels = static_cast<std::int32_t>(
      std::min<std::uint32_t>(info_.cChannels, std::numeric_limits<std::int32_t>::max()));
  controls_.reserve(records.size());
  for (const MixerControlInfo& record : records) {
    controls_.emplace_back(*api_, record, channels, handle);
  }
  return true;
}

MixerControl* MixerLine::FindControl(std::uint32_t controlType) {
  const auto found = std::find_if(controls_.begin(), controls_.end(), [&](const MixerControl& c) {
    return c.ControlType() == controlType;
  });
  return found == controls_.end() ? nullptr : &*found;
}

}  // namespace kr35
