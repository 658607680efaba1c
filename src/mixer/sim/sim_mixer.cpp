#include "mixer/sim/sim_mixer.h"

#include <cstring>

#include <nlohmann/json.hpp>

#include "mixer/utf8_text.h"

namespace kr35 {
namespace {

const char* LineNameOf(std::uint32_t controlId) {
  return controlId == kRecordingMuteId ? "recording" : "playback";
}

const char* ControlNameOf(std::uint32_t controlId) {
  return controlId == kPlaybackVolumeId ? "volume" : "mute";
}

bool FitsRequest(const MixerControlDetails& details, std::size_t bufferLength) {
  const std::size_t items = details.cMultipleItems == 0 ? 1 : details.cMultipleItems;
  return details.cChannels >= 1 && bufferLength >= std::size_t{details.cChannels} * items;
}

}  // namespace

SimMixer::SimMixer(std::vector<SimMixerDescription> devices, SimMixerTrace trace)
    : trace_(std::move(trace)) {
  devices_.reserve(devices.size());
  for (SimMixerDescription& description : devices) {
    Device device;
    if (description.hasPlayback) {
      device.lines.push_back(PlaybackLine("Speakers", 2, true, true));
      device.values[kPlaybackMuteId] = 0;
      device.values[kPlaybackVolumeId] = kFullVolume;
    }
    if (description.hasRecording) {
      device.lines.push_back(RecordingLine("Recording", 1));
      device.values[kRecordingMuteId] = description.muteValue;
    }
    device.description = std::move(description);
    devices_.push_back(std::move(device));
  }
}

std::int32_t SimMixer::RecordMute(std::uint32_t deviceIndex) const {
  if (deviceIndex >= devices_.size()) return -1;
  const auto& values = devices_[deviceIndex].values;
  const auto found = values.find(kRecordingMuteId);
  return found == values.end() ? -1 : found->second;
}

std::uint32_t SimMixer::GetNumDevs() {
  return static_cast<std::uint32_t>(devices_.size());
}

MMRESULT SimMixer::Open(std::uint32_t deviceIndex, MixerCallbackWindow, MixerHandle& handle) {
  if (deviceIndex >= devices_.size()) return MMSYSERR_BADDEVICEID;
  if (devices_[deviceIndex].description.refuseOpen) {
    Trace("open", deviceIndex, 0, nullptr);
    return MMSYSERR_ERROR;
  }
  handle = nextHandle_++;
  open_[handle] = deviceIndex;
  const auto handleValue = static_cast<std::int32_t>(handle);
  Trace("open", deviceIndex, 0, &handleValue);
  return MMSYSERR_NOERROR;
}

MMRESULT SimMixer::GetDevCaps(std::uint32_t deviceIndex, MixerCaps& caps) {
  if (deviceIndex >= devices_.size()) return MMSYSERR_BADDEVICEID;
  const Device& device = devices_[deviceIndex];
  caps = MixerCaps{};
  const std::string_view name = TruncateUtf8(device.description.name, sizeof caps.szPname - 1);
  std::memcpy(caps.szPname, name.data(), name.size());
  caps.cDestinations = static_cast<std::uint32_t>(device.lines.size());
  return MMSYSERR_NOERROR;
}

MMRESULT SimMixer::GetLineInfo(MixerHandle handle, MixerLineInfo& line, std::uint32_t flags) {
  const Device* device = DeviceOf(handle);
  if (device == nullptr) return MMSYSERR_INVALHANDLE;
  return FillLineInfo(device->lines, line, flags);
}

MMRESULT SimMixer::GetLineControls(MixerHandle handle, std::uint32_t lineId,
                                   std::span<MixerControlInfo> controls) {
  const Device* device = DeviceOf(handle);
  if (device == nullptr) return MMSYSERR_INVALHANDLE;
  return FillLineControls(device->lines, lineId, controls);
}

MMRESULT SimMixer::GetControlDetails(MixerHandle handle, const MixerControlDetails& details,
                                     std::span<std::int32_t> values) {
  std::int32_t* value = nullptr;
  const MMRESULT result = AccessValue(handle, details, values.size(), "read", value);
  if (result != MMSYSERR_NOERROR) return result;
  std::fill(values.begin(), values.end(), *value);
  Trace("read", open_[handle], details.dwControlID, value);
  return MMSYSERR_NOERROR;
}

MMRESULT SimMixer::SetControlDetails(MixerHandle handle, const MixerControlDetails& details,
                                     std::span<const std::int32_t> values) {
  std::int32_t* value = nullptr;
  const MMRESULT result = AccessValue(handle, details, values.size(), "write", value);
  if (result != MMSYSERR_NOERROR) return result;
  *value = values[0];
  Trace("write", open_[handle], details.dwControlID, value);
  return MMSYSERR_NOERROR;
}

MMRESULT SimMixer::AccessValue(MixerHandle handle, const MixerControlDetails& details,
                               std::size_t bufferLength, std::string_view event,
                               std::int32_t*& value) {
  Device* device = DeviceOf(handle);
  if (device == nullptr) return MMSYSERR_INVALHANDLE;
  const auto found = device->values.find(details.dwControlID);
  if (found == device->values.end()) return MIXERR_INVALCONTROL;
  if (!FitsRequest(details, bufferLength)) return MMSYSERR_INVALPARAM;
  const bool refused =
      event == "read" ? device->description.refuseRead : device->description.refuseWrite;
  if (refused) {
    Trace(event, open_[handle], details.dwControlID, nullptr);
    return MMSYSERR_ERROR;
  }
  value = &found->second;
  return MMSYSERR_NOERROR;
}

MMRESULT SimMixer::Close(MixerHandle handle) {
  const auto found = open_.find(handle);
  if (found == open_.end()) return MMSYSERR_INVALHANDLE;
  const std::uint32_t index = found->second;
  if (devices_[index].description.refuseClose) {
    Trace("close", index, 0, nullptr);
    return MMSYSERR_ERROR;
  }
  open_.erase(found);
  const auto handleValue = static_cast<std::int32_t>(handle);
  Trace("close", index, 0, &handleValue);
  return MMSYSERR_NOERROR;
}

SimMixer::Device* SimMixer::DeviceOf(MixerHandle handle) {
  const auto found = open_.find(handle);
  return found == open_.end() ? nullptr : &devices_[found->second];
}

// Value operations carry "line", "control" and "value"; open and close carry
// "handle". A refused operation carries "refused": true instead of its value.
void SimMixer::Trace(std::string_view event, std::uint32_t deviceIndex, std::uint32_t controlId,
                     const std::int32_t* value) {
  if (!trace_) return;
  const bool valueEvent = event == "read" || event == "write";
  nlohmann::ordered_json record = {{"mixer", event}, {"device", deviceIndex}};
  if (valueEvent) {
    record["line"] = LineNameOf(controlId);
    record["control"] = ControlNameOf(controlId);
  }
  if (value == nullptr) {
    record["refused"] = true;
  } else {
    record[valueEvent ? "value" : "handle"] = *value;
  }
  trace_(record.dump());
}

}  // namespace kr35
