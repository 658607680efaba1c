// The binding to the adapter's audio mixer: picks the first mixer device
// whose product name carries one of the adapter's name markers, and mirrors
// the headset's mute button onto the mute switch of its recording
// destination. Used from the dialog thread only.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "mixer/mixer_api.h"
#include "mixer/mixer_device.h"

namespace kr35 {

// Looked for in this order in a mixer's product name, case-sensitively.
inline constexpr std::array<std::string_view, 3> kHeadsetMixerNameMarkers = {"USB", "KR35",
                                                                             "Quorvellane"};

// True when `productName` (UTF-8) holds a name marker starting at a
// character start.
bool IsHeadsetMixerName(std::string_view productName);

// What one mute press read and asked for.
struct MuteToggle {
  std::int32_t valueRead;
  std::int32_t valueWritten;
};

class HeadsetMixer {
 public:
  explicit HeadsetMixer(MixerApi& api);

  // Closes the device, then opens the mixer devices from index 0 on and keeps
  // the first whose name matches. True when one was chosen and left open.
  bool Bind(MixerCallbackWindow callbackWindow);
  // Closes the device and forgets the binding.
  void Unbind();
  bool IsBound() const { return bound_; }

  // The recording destination's mute switch: 0 off, 1 on; -1 on failure.
  std::int32_t GetRecordMute();
  // 0 on success; -1 on failure.
  std::int32_t SetRecordMute(std::int32_t value);
  // A press of the headset's mute button: turns the switch on when it reads
  // 0, off otherwise (a failed read included). Results are not reported.
  MuteToggle ToggleRecordMute();

  const MixerDevice& Device() const { return device_; }

 private:
  // The recording destination's mute switch; null when unbound or missing.
  MixerControl* RecordMuteControl();

  MixerApi* api_;
  MixerDevice device_;
  bool bound_ = false;
};

}  // namespace kr35
