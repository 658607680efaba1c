#include "mixer/headset_mixer.h"

#include "mixer/utf8_text.h"

namespace kr35 {

bool IsHeadsetMixerName(std::string_view productName) {
  for (std::string_view marker : kHeadsetMixerNameMarkers) {
    if (ContainsAtCharStart(productName, marker)) return true;
  }
  return false;
}

HeadsetMixer::HeadsetMixer(MixerApi& api) : api_(&api), device_(api) {}

bool HeadsetMixer::Bind(MixerCallbackWindow callbackWindow) {
  device_.Close();
  bound_ = false;

  const std::uint32_t count = api_->GetNumDevs();
  for (std::uint32_t index = 0; index < count; ++index) {
    if (device_.Open(index, callbackWindow) && IsHeadsetMixerName(device_.ProductName())) {
      bound_ = true;
      return true;
    }
  }
  device_.Close();
  return false;
}

void HeadsetMixer::Unbind() {
  device_.Close();
  bound_ = false;
}

MixerControl* HeadsetMixer::RecordMuteControl() {
  // A device left open by a refused close is not bound: presses leave it alone.
  if (!bound_ || !device_.IsOpen()) return nullptr;
  MixerLine* line = device_.FindLine(MIXERLINE_COMPONENTTYPE_DST_WAVEIN);
  if (line == nullptr) return nullptr;
  return line->FindControl(MIXERCONTROL_CONTROLTYPE_MUTE);
}

std::int32_t HeadsetMixer::GetRecordMute() {
  MixerControl* control = RecordMuteControl();
  return control == nullptr ? -1 : control->GetValue();
}

std::int32_t HeadsetMixer::SetRecordMute(std::int32_t value) {
  MixerControl* control = RecordMuteControl();
  if (control == nullptr) return -1;
  return control->SetValue(value) == -1 ? -1 : 0;
}

MuteToggle HeadsetMixer::ToggleRecordMute() {
  const std::int32_t current = GetRecordMute();
  const std::int32_t next = current == 0 ? 1 : 0;
  SetRecordMute(next);
  return {current, next};
}

}  // namespace kr35
