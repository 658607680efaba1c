// One sound card's simple mixer, presented as mixer lines: the playback side
// as a speakers destination (mute switch and volume fader, where the card has
// them) and the capture side as the recording destination with a mute switch
// mapped onto the card's capture switch.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mixer/line_layout.h"
#include "mixer/mixer_api.h"

struct _snd_mixer;
struct _snd_mixer_elem;

namespace kr35 {

// The present sound cards' numbers in ALSA's order; empty when there is none.
std::vector<int> ListSoundCards();

// The card's name (snd_ctl_card_info_get_name); false when it cannot be read.
bool ReadSoundCardName(int card, std::string& name);

class AlsaCardMixer {
 public:
  // Null when the card's mixer cannot be opened or loaded.
  static std::unique_ptr<AlsaCardMixer> Open(int card);
  ~AlsaCardMixer();

  AlsaCardMixer(const AlsaCardMixer&) = delete;
  AlsaCardMixer& operator=(const AlsaCardMixer&) = delete;

  // Playback destination first (when the card has a playback element), then
  // the recording destination (when it has a capture switch).
  const std::vector<LayoutLine>& Lines() const { return lines_; }

  MMRESULT Read(std::uint32_t controlId, std::int32_t& value);
  MMRESULT Write(std::uint32_t controlId, std::int32_t value);

 private:
  // A simple element, kept by name and index and looked up on each use, so a
  // card that goes away leaves no dangling element behind.
  struct ElementId {
    std::string name;
    unsigned index = 0;
    bool found = false;
  };

  explicit AlsaCardMixer(_snd_mixer* mixer) : mixer_(mixer) {}
  void ChooseElements();
  void BuildLines();
  _snd_mixer_elem* Find(const ElementId& id);

  _snd_mixer* mixer_;
  ElementId capture_;
  ElementId playback_;
  bool playbackSwitch_ = false;
  bool playbackVolume_ = false;
  std::uint32_t captureChannels_ = 1;
  std::uint32_t playbackChannels_ = 1;
  std::vector<LayoutLine> lines_;
};

}  // namespace kr35
