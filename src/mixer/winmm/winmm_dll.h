// The winmm.dll functions of the mixer backend. winmm.dll is not one of the
// system's known DLLs, so it is not a static import (the program's folder
// would be searched first): it is loaded from System32 and its functions
// resolved once, at start-up; a missing one ends the program with the reason.
#pragma once

#include "mixer/winmm/winmm_headers.h"

namespace kr35 {

struct WinmmDll {
  decltype(&::mixerGetNumDevs) GetNumDevs = nullptr;
  decltype(&::mixerOpen) Open = nullptr;
  decltype(&::mixerGetDevCapsW) GetDevCaps = nullptr;
  decltype(&::mixerGetLineInfoW) GetLineInfo = nullptr;
  decltype(&::mixerGetLineControlsW) GetLineControls = nullptr;
  decltype(&::mixerGetControlDetailsW) GetControlDetails = nullptr;
  decltype(&::mixerSetControlDetails) SetControlDetails = nullptr;
  decltype(&::mixerClose) Close = nullptr;
};

// The functions of the system's winmm.dll.
const WinmmDll& Winmm();

}  // namespace kr35
