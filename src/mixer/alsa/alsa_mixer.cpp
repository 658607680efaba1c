#include "mixer/alsa/alsa_mixer.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "mixer/utf8_text.h"

namespace kr35 {
namespace {

std::optional<int> CardAt(std::uint32_t deviceIndex) {
  const std::vector<int> cards = ListSoundCards();
  if (deviceIndex >= cards.size()) return std::nullopt;
  return cards[deviceIndex];
}

bool FitsRequest(const MixerControlDetails& details, std::size_t bufferLength) {
  const std::size_t items = details.cMultipleItems == 0 ? 1 : details.cMultipleItems;
  return details.cChannels >= 1 && bufferLength >= std::size_t{details.cChannels} * items;
}

}  // namespace

AlsaMixer::AlsaMixer() = default;
AlsaMixer::~AlsaMixer() = default;

std::uint32_t AlsaMixer::GetNumDevs() {
  return static_cast<std::uint32_t>(ListSoundCards().size());
}

MMRESULT AlsaMixer::Open(std::uint32_t deviceIndex, MixerCallbackWindow, MixerHandle& handle) {
  const std::optional<int> card = CardAt(deviceIndex);
  if (!card) return MMSYSERR_BADDEVICEID;
  std::unique_ptr<AlsaCardMixer> mixer = AlsaCardMixer::Open(*card);
  if (!mixer) return MMSYSERR_ERROR;
  handle = nextHandle_++;
  open_[handle] = std::move(mixer);
  return MMSYSERR_NOERROR;
}

MMRESULT AlsaMixer::GetDevCaps(std::uint32_t deviceIndex, MixerCaps& caps) {
  const std::optional<int> card = CardAt(deviceIndex);
  if (!card) return MMSYSERR_BADDEVICEID;
  std::string name;
  if (!ReadSoundCardName(*card, name)) return MMSYSERR_ERROR;
  // The destination count needs the card's mixer; a card whose mixer cannot
  // be loaded has no readable capabilities.
  const std::unique_ptr<AlsaCardMixer> mixer = AlsaCardMixer::Open(*card);
  if (!mixer) return MMSYSERR_ERROR;

  caps = MixerCaps{};
  const std::string_view cut = TruncateUtf8(name, sizeof caps.szPname - 1);
  std::memcpy(caps.szPname, cut.data(), cut.size());
  caps.cDestinations = static_cast<std::uint32_t>(mixer->Lines().size());
  return MMSYSERR_NOERROR;
}

MMRESULT AlsaMixer::GetLineInfo(MixerHandle handle, MixerLineInfo& line, std::uint32_t flags) {
  AlsaCardMixer* card = CardOf(handle);
  if (card == nullptr) return MMSYSERR_INVALHANDLE;
  return FillLineInfo(card->Lines(), line, flags);
}

MMRESULT AlsaMixer::GetLineControls(MixerHandle handle, std::uint32_t lineId,
                                    std::span<MixerControlInfo> controls) {
  AlsaCardMixer* card = CardOf(handle);
  if (card == nullptr) return MMSYSERR_INVALHANDLE;
  return FillLineControls(card->Lines(), lineId, controls);
}

MMRESULT AlsaMixer::GetControlDetails(MixerHandle handle, const MixerControlDetails& details,
                                      std::span<std::int32_t> values) {
  AlsaCardMixer* card = CardOf(handle);
  if (card == nullptr) return MMSYSERR_INVALHANDLE;
  if (!FitsRequest(details, values.size())) return MMSYSERR_INVALPARAM;
  std::int32_t value = 0;
  const MMRESULT result = card->Read(details.dwControlID, value);
  if (result == MMSYSERR_NOERROR) std::fill(values.begin(), values.end(), value);
  return result;
}

MMRESULT AlsaMixer::SetControlDetails(MixerHandle handle, const MixerControlDetails& details,
                                      std::span<const std::int32_t> values) {
  AlsaCardMixer* card = CardOf(handle);
  if (card == nullptr) return MMSYSERR_INVALHANDLE;
  if (!FitsRequest(details, values.size())) return MMSYSERR_INVALPARAM;
  return card->Write(details.dwControlID, values[0]);
}

MMRESULT AlsaMixer::Close(MixerHandle handle) {
  return open_.erase(handle) == 1 ? MMSYSERR_NOERROR : MMSYSERR_INVALHANDLE;
}

AlsaCardMixer* AlsaMixer::CardOf(MixerHandle handle) {
  const auto found = open_.find(handle);
  return found == open_.end() ? nullptr : found->second.get();
}

}  // namespace kr35
