#include "mixer/alsa/alsa_card.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <array>
#include <string_view>

namespace kr35 {
namespace {

constexpr std::int64_t kFaderMaximum = kFullVolume;

// Element names preferred, in this order, over the mixer's own order.
constexpr std::array<std::string_view, 6> kCaptureNames = {"Capture",     "Mic",     "Mic Capture",
                                                           "PCM Capture", "Headset", "Input"};
constexpr std::array<std::string_view, 5> kPlaybackNames = {"Master", "PCM", "Speaker", "Headphone",
                                                            "Headset"};

std::string CardDevice(int card) {
  return "hw:" + std::to_string(card);
}

bool HasCapture(snd_mixer_elem_t* elem) {
  return snd_mixer_selem_has_capture_switch(elem) != 0;
}

bool HasPlayback(snd_mixer_elem_t* elem) {
  return snd_mixer_selem_has_playback_switch(elem) != 0 ||
         snd_mixer_selem_has_playback_volume(elem) != 0;
}

// The preferred-name element that passes `wanted`, else the first that does.
template <std::size_t N>
snd_mixer_elem_t* ChooseElement(snd_mixer_t* mixer, const std::array<std::string_view, N>& names,
                                bool (*wanted)(snd_mixer_elem_t*)) {
  snd_mixer_elem_t* first = nullptr;
  snd_mixer_elem_t* best = nullptr;
  std::size_t bestRank = N;
  for (snd_mixer_elem_t* elem = snd_mixer_first_elem(mixer); elem != nullptr;
       elem = snd_mixer_elem_next(elem)) {
    if (!wanted(elem)) continue;
    if (first == nullptr) first = elem;
    const char* name = snd_mixer_selem_get_name(elem);
    if (name == nullptr) continue;
    const auto found = std::find(names.begin(), names.end(), std::string_view(name));
    const auto rank = static_cast<std::size_t>(found - names.begin());
    if (rank < bestRank) {
      best = elem;
      bestRank = rank;
    }
  }
  return best != nullptr ? best : first;
}

std::uint32_t CountChannels(snd_mixer_elem_t* elem,
                            int (*has)(snd_mixer_elem_t*, snd_mixer_selem_channel_id_t)) {
  std::uint32_t count = 0;
  for (int c = 0; c <= SND_MIXER_SCHN_LAST; ++c) {
    if (has(elem, static_cast<snd_mixer_selem_channel_id_t>(c)) != 0) ++count;
  }
  return std::max<std::uint32_t>(count, 1);
}

// Muted (1) when no channel of the switch is on; 0 when any is. -1 and an
// error when no channel could be read.
MMRESULT ReadMute(snd_mixer_elem_t* elem,
                  int (*has)(snd_mixer_elem_t*, snd_mixer_selem_channel_id_t),
                  int (*get)(snd_mixer_elem_t*, snd_mixer_selem_channel_id_t, int*),
                  std::int32_t& value) {
  if (elem == nullptr) return MIXERR_INVALCONTROL;
  bool read = false;
  for (int c = 0; c <= SND_MIXER_SCHN_LAST; ++c) {
    const auto channel = static_cast<snd_mixer_selem_channel_id_t>(c);
    if (has(elem, channel) == 0) continue;
    int on = 0;
    if (get(elem, channel, &on) < 0) continue;
    if (on != 0) {
      value = 0;
      return MMSYSERR_NOERROR;
    }
    read = true;
  }
  value = read ? 1 : -1;
  return read ? MMSYSERR_NOERROR : MMSYSERR_ERROR;
}

// Mute on means every channel of the switch off.
MMRESULT WriteMute(snd_mixer_elem_t* elem, int (*setAll)(snd_mixer_elem_t*, int),
                   std::int32_t value) {
  if (elem == nullptr) return MIXERR_INVALCONTROL;
  return setAll(elem, value != 0 ? 0 : 1) < 0 ? MMSYSERR_ERROR : MMSYSERR_NOERROR;
}

}  // namespace

std::vector<int> ListSoundCards() {
  std::vector<int> cards;
  int card = -1;
  // Bounded in case a broken library never reports the end.
  while (cards.size() < 256 && snd_card_next(&card) == 0 && card >= 0) cards.push_back(card);
  return cards;
}

bool ReadSoundCardName(int card, std::string& name) {
  snd_ctl_t* ctl = nullptr;
  if (snd_ctl_open(&ctl, CardDevice(card).c_str(), 0) < 0) return false;
  snd_ctl_card_info_t* info = nullptr;
  bool ok = false;
  if (snd_ctl_card_info_malloc(&info) == 0) {
    if (snd_ctl_card_info(ctl, info) == 0) {
      const char* text = snd_ctl_card_info_get_name(info);
      name = text != nullptr ? text : "";
      ok = true;
    }
    snd_ctl_card_info_free(info);
  }
  snd_ctl_close(ctl);
  return ok;
}

std::unique_ptr<AlsaCardMixer> AlsaCardMixer::Open(int card) {
  snd_mixer_t* mixer = nullptr;
  if (snd_mixer_open(&mixer, 0) < 0) return nullptr;
  if (snd_mixer_attach(mixer, CardDevice(card).c_str()) < 0 ||
      snd_mixer_selem_register(mixer, nullptr, nullptr) < 0 || snd_mixer_load(mixer) < 0) {
    snd_mixer_close(mixer);
    return nullptr;
  }
  std::unique_ptr<AlsaCardMixer> result(new AlsaCardMixer(mixer));
  result->ChooseElements();
  result->BuildLines();
  return result;
}

AlsaCardMixer::~AlsaCardMixer() {
  snd_mixer_close(mixer_);
}

void AlsaCardMixer::ChooseElements() {
  auto remember = [](snd_mixer_elem_t* elem, ElementId& id) {
    if (elem == nullptr) return;
    const char* name = snd_mixer_selem_get_name(elem);
    id.name = name != nullptr ? name : "";
    id.index = snd_mixer_selem_get_index(elem);
    id.found = true;
  };
  snd_mixer_elem_t* capture = ChooseElement(mixer_, kCaptureNames, HasCapture);
  remember(capture, capture_);
  if (capture != nullptr) {
    captureChannels_ = CountChannels(capture, snd_mixer_selem_has_capture_channel);
  }
  snd_mixer_elem_t* playback = ChooseElement(mixer_, kPlaybackNames, HasPlayback);
  remember(playback, playback_);
  if (playback != nullptr) {
    playbackSwitch_ = snd_mixer_selem_has_playback_switch(playback) != 0;
    playbackVolume_ = snd_mixer_selem_has_playback_volume(playback) != 0;
    playbackChannels_ = CountChannels(playback, snd_mixer_selem_has_playback_channel);
  }
}

void AlsaCardMixer::BuildLines() {
  if (playback_.found) {
    lines_.push_back(
        PlaybackLine(playback_.name, playbackChannels_, playbackSwitch_, playbackVolume_));
  }
  if (capture_.found) lines_.push_back(RecordingLine(capture_.name, captureChannels_));
}

snd_mixer_elem_t* AlsaCardMixer::Find(const ElementId& id) {
  if (!id.found) return nullptr;
  snd_mixer_selem_id_t* selem = nullptr;
  if (snd_mixer_selem_id_malloc(&selem) < 0) return nullptr;
  snd_mixer_selem_id_set_name(selem, id.name.c_str());
  snd_mixer_selem_id_set_index(selem, id.index);
  snd_mixer_elem_t* elem = snd_mixer_find_selem(mixer_, selem);
  snd_mixer_selem_id_free(selem);
  return elem;
}

MMRESULT AlsaCardMixer::Read(std::uint32_t controlId, std::int32_t& value) {
  // Take in changes other programs made since the last call.
  if (snd_mixer_handle_events(mixer_) < 0) return MMSYSERR_ERROR;
  switch (controlId) {
    case kRecordingMuteId:
      return ReadMute(Find(capture_), snd_mixer_selem_has_capture_channel,
                      snd_mixer_selem_get_capture_switch, value);
    case kPlaybackMuteId:
      return ReadMute(playbackSwitch_ ? Find(playback_) : nullptr,
                      snd_mixer_selem_has_playback_channel, snd_mixer_selem_get_playback_switch,
                      value);
    case kPlaybackVolumeId: {
      snd_mixer_elem_t* elem = playbackVolume_ ? Find(playback_) : nullptr;
      if (elem == nullptr) return MIXERR_INVALCONTROL;
      long minimum = 0, maximum = 0, level = 0;
      if (snd_mixer_selem_get_playback_volume_range(elem, &minimum, &maximum) < 0 ||
          snd_mixer_selem_get_playback_volume(elem, SND_MIXER_SCHN_FRONT_LEFT, &level) < 0) {
        return MMSYSERR_ERROR;
      }
      if (maximum <= minimum) {
        value = 0;
        return MMSYSERR_NOERROR;
      }
      const std::int64_t offset = std::clamp<std::int64_t>(level - minimum, 0, maximum - minimum);
      value = static_cast<std::int32_t>(offset * kFaderMaximum / (maximum - minimum));
      return MMSYSERR_NOERROR;
    }
    default:
      return MIXERR_INVALCONTROL;
  }
}

MMRESULT AlsaCardMixer::Write(std::uint32_t controlId, std::int32_t value) {
  switch (controlId) {
    case kRecordingMuteId:
      return WriteMute(Find(capture_), snd_mixer_selem_set_capture_switch_all, value);
    case kPlaybackMuteId:
      return WriteMute(playbackSwitch_ ? Find(playback_) : nullptr,
                       snd_mixer_selem_set_playback_switch_all, value);
    case kPlaybackVolumeId: {
      snd_mixer_elem_t* elem = playbackVolume_ ? Find(playback_) : nullptr;
      if (elem == nullptr) return MIXERR_INVALCONTROL;
      long minimum = 0, maximum = 0;
      if (snd_mixer_selem_get_playback_volume_range(elem, &minimum, &maximum) < 0) {
        return MMSYSERR_ERROR;
      }
      // A fader value is unsigned: read the 32 bits that way, then clamp.
      const std::int64_t fader =
          std::min<std::int64_t>(static_cast<std::uint32_t>(value), kFaderMaximum);
      const std::int64_t span = std::max<std::int64_t>(maximum - minimum, 0);
      const auto level =
          static_cast<long>(minimum + (fader * span + kFaderMaximum / 2) / kFaderMaximum);
      return snd_mixer_selem_set_playback_volume_all(elem, level) < 0 ? MMSYSERR_ERROR
                                                                      : MMSYSERR_NOERROR;
    }
    default:
      return MIXERR_INVALCONTROL;
  }
}

}  // namespace kr35
