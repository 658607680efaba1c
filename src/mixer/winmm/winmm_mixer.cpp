#include "mixer/winmm/winmm_mixer.h"

#include <limits>
#include <vector>

#include "hid/win32/win32_window_queue.h"
#include "mixer/winmm/winmm_dll.h"
#include "mixer/winmm/winmm_records.h"

namespace kr35 {
namespace {

HMIXEROBJ MixerObject(MixerHandle handle) {
  return reinterpret_cast<HMIXEROBJ>(handle);
}

// The details request must name at least one value and fit the caller's buffer:
// winmm writes cChannels × items values into it.
bool FitsBuffer(const MixerControlDetails& details, std::size_t valueCount) {
  const std::size_t needed = DetailValueCount(details);
  return needed > 0 && needed <= valueCount;
}

}  // namespace

std::uint32_t WinmmMixer::GetNumDevs() {
  return Winmm().GetNumDevs();
}

MMRESULT WinmmMixer::Open(std::uint32_t deviceIndex, MixerCallbackWindow callbackWindow,
                          MixerHandle& handle) {
  HWND window = nullptr;
  if (auto* windowQueue = dynamic_cast<Win32WindowQueue*>(callbackWindow)) {
    window = windowQueue->Window();
  }
  HMIXER opened = nullptr;
  const MMRESULT result = Winmm().Open(&opened, deviceIndex, reinterpret_cast<DWORD_PTR>(window), 0,
                                       window != nullptr ? CALLBACK_WINDOW : CALLBACK_NULL);
  if (result == MMSYSERR_NOERROR) handle = reinterpret_cast<MixerHandle>(opened);
  return result;
}

MMRESULT WinmmMixer::GetDevCaps(std::uint32_t deviceIndex, MixerCaps& caps) {
  MIXERCAPSW record{};
  const MMRESULT result = Winmm().GetDevCaps(deviceIndex, &record, sizeof record);
  if (result == MMSYSERR_NOERROR) caps = ToMixerCaps(record);
  return result;
}

MMRESULT WinmmMixer::GetLineInfo(MixerHandle handle, MixerLineInfo& line, std::uint32_t flags) {
  if (flags != MIXER_GETLINEINFOF_DESTINATION && flags != MIXER_GETLINEINFOF_SOURCE) {
    return MMSYSERR_INVALPARAM;
  }
  MIXERLINEW record = ToLineRequest(line);
  const MMRESULT result = Winmm().GetLineInfo(MixerObject(handle), &record, flags);
  if (result == MMSYSERR_NOERROR) line = ToMixerLineInfo(record);
  return result;
}

MMRESULT WinmmMixer::GetLineControls(MixerHandle handle, std::uint32_t lineId,
                                     std::span<MixerControlInfo> controls) {
  if (controls.empty() || controls.size() > std::numeric_limits<DWORD>::max()) {
    return MMSYSERR_INVALPARAM;
  }
  std::vector<MIXERCONTROLW> records(controls.size());  // zero-filled
  MIXERLINECONTROLSW request{};
  request.cbStruct = sizeof request;
  request.dwLineID = lineId;
  request.dwControlID = 0;
  request.cControls = static_cast<DWORD>(records.size());
  request.cbmxctrl = sizeof(MIXERCONTROLW);
  request.pamxctrl = records.data();
  const MMRESULT result =
      Winmm().GetLineControls(MixerObject(handle), &request, MIXER_GETLINECONTROLSF_ALL);
  if (result != MMSYSERR_NOERROR) return result;
  for (std::size_t i = 0; i < records.size(); ++i) controls[i] = ToMixerControlInfo(records[i]);
  return result;
}

MMRESULT WinmmMixer::GetControlDetails(MixerHandle handle, const MixerControlDetails& details,
                                       std::span<std::int32_t> values) {
  if (!FitsBuffer(details, values.size())) return MMSYSERR_INVALPARAM;
  MIXERCONTROLDETAILS record = ToDetailsRecord(details, values.data());
  return Winmm().GetControlDetails(MixerObject(handle), &record, MIXER_GETCONTROLDETAILSF_VALUE);
}

MMRESULT WinmmMixer::SetControlDetails(MixerHandle handle, const MixerControlDetails& details,
                                       std::span<const std::int32_t> values) {
  if (!FitsBuffer(details, values.size())) return MMSYSERR_INVALPARAM;
  // winmm takes a writable buffer; hand it a copy.
  std::vector<std::int32_t> buffer(values.begin(), values.begin() + DetailValueCount(details));
  MIXERCONTROLDETAILS record = ToDetailsRecord(details, buffer.data());
  return Winmm().SetControlDetails(MixerObject(handle), &record, MIXER_SETCONTROLDETAILSF_VALUE);
}

MMRESULT WinmmMixer::Close(MixerHandle handle) {
  return Winmm().Close(reinterpret_cast<HMIXER>(handle));
}

}  // namespace kr35
