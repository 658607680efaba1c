// The mixer seam on winmm: each call is the one winmm function of the same
// name, with the seam's structs mapped to winmm's records and back. Mixer
// change notices go to the dialog's window when the callback queue is one
// (Win32WindowQueue); otherwise none are requested.
#pragma once

#include "mixer/mixer_api.h"

namespace kr35 {

class WinmmMixer final : public MixerApi {
 public:
  std::uint32_t GetNumDevs() override;
  MMRESULT Open(std::uint32_t deviceIndex, MixerCallbackWindow callbackWindow,
                MixerHandle& handle) override;
  MMRESULT GetDevCaps(std::uint32_t deviceIndex, MixerCaps& caps) override;
  MMRESULT GetLineInfo(MixerHandle handle, MixerLineInfo& line, std::uint32_t flags) override;
  MMRESULT GetLineControls(MixerHandle handle, std::uint32_t lineId,
                           std::span<MixerControlInfo> controls) override;
  MMRESULT GetControlDetails(MixerHandle handle, const MixerControlDetails& details,
                             std::span<std::int32_t> values) override;
  MMRESULT SetControlDetails(MixerHandle handle, const MixerControlDetails& details,
                             std::span<const std::int32_t> values) override;
  MMRESULT Close(MixerHandle handle) override;
};

}  // namespace kr35
