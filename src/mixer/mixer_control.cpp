#include "mixer/mixer_control.h"

#include <vector>

namespace kr35 {
namespace {

// A larger item count than this is treated as a buffer that cannot be
// allocated: the count comes from the platform and is not trusted.
constexpr std::uint32_t kMaxMultipleItems = 4096;

}  // namespace

MixerControl::MixerControl(MixerApi& api, const MixerControlInfo& info, std::int32_t channels,
                           MixerHandle mixerHandle)
    : api_(&api), info_(info), channels_(channels), mixerHandle_(mixerHandle) {}

bool MixerControl::HasValue() const {
  switch (info_.dwControlType & MIXERCONTROL_CT_CLASS_MASK) {
    case MIXERCONTROL_CT_CLASS_METER:
    case MIXERCONTROL_CT_CLASS_SWITCH:
    case MIXERCONTROL_CT_CLASS_FADER:
      return true;
    default:
      return false;
  }
}

MixerControlDetails MixerControl::Details() const {
  MixerControlDetails details;
  details.dwControlID = info_.dwControlID;
  details.cChannels = 1;
  details.cMultipleItems =
      (info_.fdwControl & MIXERCONTROL_CONTROLF_MULTIPLE) != 0 ? info_.cMultipleItems : 0;
  return details;
}

std::size_t MixerControl::BufferLength(const MixerControlDetails& details) const {
  if (details.cMultipleItems > kMaxMultipleItems) return 0;
  return details.cMultipleItems == 0 ? 1 : details.cMultipleItems;
}

std::int32_t MixerControl::GetValue() const {
  if (!HasValue()) return -1;
  const MixerControlDetails details = Details();
  const std::size_t length = BufferLength(details);
  if (length == 0) return -1;
  std::vector<std::int32_t> values(length, 0);
  if (api_->GetControlDetails(mixerHandle_, details, values) != MMSYSERR_NOERROR) return -1;
  return values[0];
}

std::int32_t MixerControl::SetValue(std::int32_t value) {
  if (!HasValue()) return -1;
  const MixerControlDetails details = Details();
  const std::size_t length = BufferLength(details);
  if (length == 0) return -1;
  // Every item gets the value, so a multi-item write is as uniform as a
  // single one.
  const std::vector<std::int32_t> values(length, value);
  return api_->SetControlDetails(mixerHandle_, details, values) == MMSYSERR_NOERROR ? 0 : -1;
}

}  // namespace kr35
