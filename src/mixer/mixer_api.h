// The mixer seam: the eight mixer operations the mixer model needs from the
// platform, in the terms of the Windows multimedia mixer interface so that a
// winmm backend implements it one to one. Backends: winmm (Windows), ALSA
// (Linux) and the simulated mixer; tests use a double.
#pragma once

#include <cstdint>
#include <span>

namespace kr35 {

class DialogQueue;

// Result of a platform call: 0 is success, every other value a failure. The
// model does not tell the failure codes apart; backends pick the closest one.
using MMRESULT = std::uint32_t;
inline constexpr MMRESULT MMSYSERR_NOERROR = 0;
inline constexpr MMRESULT MMSYSERR_ERROR = 1;
inline constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;
inline constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
inline constexpr MMRESULT MMSYSERR_NOMEM = 7;
inline constexpr MMRESULT MMSYSERR_NOTSUPPORTED = 8;
inline constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
inline constexpr MMRESULT MIXERR_INVALLINE = 1024;
inline constexpr MMRESULT MIXERR_INVALCONTROL = 1025;

// An open mixer; kMixerNotOpen (all bits set) never names an open mixer.
using MixerHandle = std::uintptr_t;
inline constexpr MixerHandle kMixerNotOpen = ~MixerHandle{0};

// Where the platform would send a mixer's change notices. Nothing consumes
// them; the dialog passes its own queue so a backend could post to it.
using MixerCallbackWindow = DialogQueue*;

// Line component types.
inline constexpr std::uint32_t MIXERLINE_COMPONENTTYPE_DST_UNDEFINED = 0;
inline constexpr std::uint32_t MIXERLINE_COMPONENTTYPE_DST_DIGITAL = 1;
inline constexpr std::uint32_t MIXERLINE_COMPONENTTYPE_DST_LINE = 2;
inline constexpr std::uint32_t MIXERLINE_COMPONENTTYPE_DST_MONITOR = 3;
inline constexpr std::uint32_t MIXERLINE_COMPONENTTYPE_DST_SPEAKERS = 4;
inline constexpr std::uint32_t MIXERLINE_COMPONENTTYPE_DST_HEADPHONES = 5;
inline constexpr std::uint32_t MIXERLINE_COMPONENTTYPE_DST_TELEPHONE = 6;
inline constexpr std::uint32_t MIXERLINE_COMPONENTTYPE_DST_WAVEIN = 7;
inline constexpr std::uint32_t MIXERLINE_COMPONENTTYPE_DST_VOICEIN = 8;
inline constexpr std::uint32_t MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE = 0x1003;

// Control classes: the top four bits of a control type.
inline constexpr std::uint32_t MIXERCONTROL_CT_CLASS_MASK = 0xF0000000;
inline constexpr std::uint32_t MIXERCONTROL_CT_CLASS_CUSTOM = 0x00000000;
inline constexpr std::uint32_t MIXERCONTROL_CT_CLASS_METER = 0x10000000;
inline constexpr std::uint32_t MIXERCONTROL_CT_CLASS_SWITCH = 0x20000000;
inline constexpr std::uint32_t MIXERCONTROL_CT_CLASS_NUMBER = 0x30000000;
inline constexpr std::uint32_t MIXERCONTROL_CT_CLASS_SLIDER = 0x40000000;
inline constexpr std::uint32_t MIXERCONTROL_CT_CLASS_FADER = 0x50000000;
inline constexpr std::uint32_t MIXERCONTROL_CT_CLASS_TIME = 0x60000000;
inline constexpr std::uint32_t MIXERCONTROL_CT_CLASS_LIST = 0x70000000;

// Control types.
inline constexpr std::uint32_t MIXERCONTROL_CONTROLTYPE_CUSTOM = 0x00000000;
inline constexpr std::uint32_t MIXERCONTROL_CONTROLTYPE_PEAKMETER = 0x10020001;
inline constexpr std::uint32_t MIXERCONTROL_CONTROLTYPE_ONOFF = 0x20010001;
inline constexpr std::uint32_t MIXERCONTROL_CONTROLTYPE_MUTE = 0x20010002;
inline constexpr std::uint32_t MIXERCONTROL_CONTROLTYPE_VOLUME = 0x50030001;
inline constexpr std::uint32_t MIXERCONTROL_CONTROLTYPE_MUX = 0x70010001;

// Control flags.
inline constexpr std::uint32_t MIXERCONTROL_CONTROLF_UNIFORM = 0x00000001;
inline constexpr std::uint32_t MIXERCONTROL_CONTROLF_MULTIPLE = 0x00000002;

// Query flags of GetLineInfo.
inline constexpr std::uint32_t MIXER_GETLINEINFOF_DESTINATION = 0;
inline constexpr std::uint32_t MIXER_GETLINEINFOF_SOURCE = 1;

// The capabilities of one mixer device (MIXERCAPS). The product name is at
// most 31 bytes plus a terminating zero; readers must still bound it by the
// array, as a backend may fill all 32 bytes.
struct MixerCaps {
  std::uint16_t wMid = 0;
  std::uint16_t wPid = 0;
  std::uint32_t vDriverVersion = 0;
  char szPname[32] = {};
  std::uint32_t fdwSupport = 0;
  std::uint32_t cDestinations = 0;
};

// One line (MIXERLINE). dwDestination and dwSource are the request; the rest
// is filled by the backend.
struct MixerLineInfo {
  std::uint32_t dwDestination = 0;
  std::uint32_t dwSource = 0;
  std::uint32_t dwLineID = 0;
  std::uint32_t fdwLine = 0;
  std::uint32_t dwComponentType = 0;
  std::uint32_t cChannels = 0;
  std::uint32_t cConnections = 0;
  std::uint32_t cControls = 0;
  char szShortName[16] = {};
  char szName[64] = {};
};

// One control of a line (MIXERCONTROL).
struct MixerControlInfo {
  std::uint32_t dwControlID = 0;
  std::uint32_t dwControlType = 0;
  std::uint32_t fdwControl = 0;
  std::uint32_t cMultipleItems = 0;
  char szShortName[16] = {};
  char szName[64] = {};
  std::int32_t lMinimum = 0;
  std::int32_t lMaximum = 0;
};

// Which values of a control a details request covers (MIXERCONTROLDETAILS
// without its buffer). The buffer holds cChannels × max(1, cMultipleItems)
// 32-bit values.
struct MixerControlDetails {
  std::uint32_t dwControlID = 0;
  std::uint32_t cChannels = 1;
  std::uint32_t cMultipleItems = 0;
};

class MixerApi {
 public:
  virtual ~MixerApi() = default;

  // mixerGetNumDevs: the number of mixer devices; 0 when there is none.
  virtual std::uint32_t GetNumDevs() = 0;
  // mixerOpen with CALLBACK_WINDOW: opens device `deviceIndex` and stores
  // its handle in `handle` on success.
  virtual MMRESULT Open(std::uint32_t deviceIndex, MixerCallbackWindow callbackWindow,
                        MixerHandle& handle) = 0;
  // mixerGetDevCaps: by device index, not by handle.
  virtual MMRESULT GetDevCaps(std::uint32_t deviceIndex, MixerCaps& caps) = 0;
  // mixerGetLineInfo: `flags` is MIXER_GETLINEINFOF_DESTINATION (by
  // line.dwDestination) or MIXER_GETLINEINFOF_SOURCE (by line.dwDestination
  // and line.dwSource).
  virtual MMRESULT GetLineInfo(MixerHandle handle, MixerLineInfo& line, std::uint32_t flags) = 0;
  // mixerGetLineControls with MIXER_GETLINECONTROLSF_ALL: fills all
  // `controls.size()` controls of line `lineId` (its control count).
  virtual MMRESULT GetLineControls(MixerHandle handle, std::uint32_t lineId,
                                   std::span<MixerControlInfo> controls) = 0;
  // mixerGetControlDetails / mixerSetControlDetails with the VALUE flag.
  // `values` is sized as MixerControlDetails says; backends stay inside it.
  virtual MMRESULT GetControlDetails(MixerHandle handle, const MixerControlDetails& details,
                                     std::span<std::int32_t> values) = 0;
  virtual MMRESULT SetControlDetails(MixerHandle handle, const MixerControlDetails& details,
                                     std::span<const std::int32_t> values) = 0;
  // mixerClose.
  virtual MMRESULT Close(MixerHandle handle) = 0;
};

}  // namespace kr35
