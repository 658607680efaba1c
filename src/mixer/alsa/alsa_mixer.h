// The mixer seam on ALSA: each sound card is one mixer device, in card
// order, named by the card's name. See AlsaCardMixer for the lines each card
// presents. Used from one thread; change notices are not delivered.
#pragma once

#include <map>
#include <memory>

#include "mixer/alsa/alsa_card.h"
#include "mixer/mixer_api.h"

namespace kr35 {

class AlsaMixer : public MixerApi {
 public:
  AlsaMixer();
  ~AlsaMixer() override;

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

 private:
  AlsaCardMixer* CardOf(MixerHandle handle);

  std::map<MixerHandle, std::unique_ptr<AlsaCardMixer>> open_;
  MixerHandle nextHandle_ = 1;
};

}  // namespace kr35
