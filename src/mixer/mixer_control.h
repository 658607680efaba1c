// One control of a mixer line, read and written as one uniform 32-bit value.
#pragma once

#include <cstdint>

#include "mixer/mixer_api.h"

namespace kr35 {

class MixerControl {
 public:
  // `channels` is the owning line's channel count; `mixerHandle` the owning
  // device's open handle, which outlives the control.
  MixerControl(MixerApi& api, const MixerControlInfo& info, std::int32_t channels,
               MixerHandle mixerHandle);

  const MixerControlInfo& Info() const { return info_; }
  std::uint32_t ControlType() const { return info_.dwControlType; }
  std::int32_t Channels() const { return channels_; }

  // True for the classes that carry a value here: meter, switch and fader.
  bool HasValue() const;

  // The control's value as one uniform value (one channel); -1 on failure or
  // for a class without a value. A stored 0xFFFFFFFF reads as -1 too.
  std::int32_t GetValue() const;
  // Sets every channel to `value`; 0 on success, -1 on failure or for a class
  // without a value.
  std::int32_t SetValue(std::int32_t value);

 private:
  // The request both value operations send: one channel, and the item count
  // only when the control has multiple items.
  MixerControlDetails Details() const;
  // Values in the request's buffer; 0 when the item count is too large to
  // allocate.
  std::size_t BufferLength(const MixerControlDetails& details) const;

  MixerApi* api_;
  MixerControlInfo info_;
  std::int32_t channels_;
  MixerHandle mixerHandle_;
};

}  // namespace kr35
