// A backend's description of a mixer's destination lines and their
// controls, the two lines a headset card presents with their ids, and the
// line and control queries answered from them. Shared by the ALSA backend and
// the simulated mixer, which both present destinations only.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "mixer/mixer_api.h"

namespace kr35 {

struct LayoutControl {
  std::uint32_t id = 0;
  std::uint32_t type = 0;
  std::string name;
  std::int32_t minimum = 0;
  std::int32_t maximum = 0;
};

struct LayoutLine {
  std::uint32_t id = 0;
  std::uint32_t componentType = 0;
  std::uint32_t channels = 1;
  std::string name;
  std::vector<LayoutControl> controls;
};

// The ids of the two destination lines and of their controls.
inline constexpr std::uint32_t kPlaybackLineId = 0xFFFF0000;
inline constexpr std::uint32_t kRecordingLineId = 0xFFFF0001;
inline constexpr std::uint32_t kPlaybackMuteId = 1;
inline constexpr std::uint32_t kPlaybackVolumeId = 2;
inline constexpr std::uint32_t kRecordingMuteId = 3;
// The top of the playback volume control's range.
inline constexpr std::int32_t kFullVolume = 0xFFFF;

// The speakers destination, with a mute switch and a volume control where
// the card has them.
LayoutLine PlaybackLine(std::string name, std::uint32_t channels, bool mute, bool volume);
// The recording destination with its mute switch.
LayoutLine RecordingLine(std::string name, std::uint32_t channels);

// GetLineInfo on `destinations`: by destination index; a source request
// fails, as the layout has no sources.
MMRESULT FillLineInfo(std::span<const LayoutLine> destinations, MixerLineInfo& line,
                      std::uint32_t flags);
// GetLineControls on `destinations`: all controls of line `lineId`, whose
// count must equal `controls.size()`.
MMRESULT FillLineControls(std::span<const LayoutLine> destinations, std::uint32_t lineId,
                          std::span<MixerControlInfo> controls);
// The control with id `controlId`, or null.
const LayoutControl* FindLayoutControl(std::span<const LayoutLine> destinations,
                                       std::uint32_t controlId);

}  // namespace kr35
