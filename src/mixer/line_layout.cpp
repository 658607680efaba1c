#include "mixer/line_layout.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "mixer/utf8_text.h"

namespace kr35 {
namespace {

// Copies `text` into a fixed array, cut at a character boundary so that the
// terminating zero always fits.
template <std::size_t N>
void CopyName(std::string_view text, char (&target)[N]) {
  const std::string_view cut = TruncateUtf8(text, N - 1);
  std::memset(target, 0, N);
  std::memcpy(target, cut.data(), cut.size());
}

const LayoutLine* FindLine(std::span<const LayoutLine> destinations, std::uint32_t lineId) {
  const auto found = std::find_if(destinations.begin(), destinations.end(),
                                  [&](const LayoutLine& line) { return line.id == lineId; });
  return found == destinations.end() ? nullptr : &*found;
}

}  // namespace

LayoutLine PlaybackLine(std::string name, std::uint32_t channels, bool mute, bool volume) {
  LayoutLine line{
      kPlaybackLineId, MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, channels, std::move(name), {}};
  if (mute) line.controls.push_back({kPlaybackMuteId, MIXERCONTROL_CONTROLTYPE_MUTE, "Mute", 0, 1});
  if (volume) {
    line.controls.push_back(
        {kPlaybackVolumeId, MIXERCONTROL_CONTROLTYPE_VOLUME, "Volume", 0, kFullVolume});
  }
  return line;
}

LayoutLine RecordingLine(std::string name, std::uint32_t channels) {
  return {kRecordingLineId,
          MIXERLINE_COMPONENTTYPE_DST_WAVEIN,
          channels,
          std::move(name),
          {{kRecordingMuteId, MIXERCONTROL_CONTROLTYPE_MUTE, "Mute", 0, 1}}};
}

MMRESULT FillLineInfo(std::span<const LayoutLine> destinations, MixerLineInfo& line,
                      std::uint32_t flags) {
  if (flags != MIXER_GETLINEINFOF_DESTINATION) return MIXERR_INVALLINE;
  if (line.dwDestination >= destinations.size()) return MMSYSERR_INVALPARAM;
  const LayoutLine& source = destinations[line.dwDestination];
  line.dwSource = 0;
  line.dwLineID = source.id;
  line.fdwLine = 1;  // MIXERLINE_LINEF_ACTIVE
  line.dwComponentType = source.componentType;
  line.cChannels = source.channels;
  line.cConnections = 0;
  line.cControls = static_cast<std::uint32_t>(source.controls.size());
  CopyName(source.name, line.szShortName);
  CopyName(source.name, line.szName);
  return MMSYSERR_NOERROR;
}

MMRESULT FillLineControls(std::span<const LayoutLine> destinations, std::uint32_t lineId,
                          std::span<MixerControlInfo> controls) {
  const LayoutLine* line = FindLine(destinations, lineId);
  if (line == nullptr) return MIXERR_INVALLINE;
  if (controls.size() != line->controls.size()) return MMSYSERR_INVALPARAM;
  for (std::size_t i = 0; i < controls.size(); ++i) {
    const LayoutControl& source = line->controls[i];
    MixerControlInfo& target = controls[i];
    target = MixerControlInfo{};
    target.dwControlID = source.id;
    target.dwControlType = source.type;
    target.fdwControl = MIXERCONTROL_CONTROLF_UNIFORM;
    target.lMinimum = source.minimum;
    target.lMaximum = source.maximum;
    CopyName(source.name, target.szShortName);
    CopyName(source.name, target.szName);
  }
  return MMSYSERR_NOERROR;
}

const LayoutControl* FindLayoutControl(std::span<const LayoutLine> destinations,
                                       std::uint32_t controlId) {
  for (const LayoutLine& line : destinations) {
    for (const LayoutControl& control : line.controls) {
      if (control.id == controlId) return &control;
    }
  }
  return nullptr;
}

}  // namespace kr35
