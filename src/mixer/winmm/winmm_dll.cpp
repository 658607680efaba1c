#include "mixer/winmm/winmm_dll.h"

#include "win32/system_library.h"

namespace kr35 {
namespace {

WinmmDll LoadWinmmDll() {
  WinmmDll winmm;
  const SystemFunction functions[] = {
      Resolve("mixerGetNumDevs", winmm.GetNumDevs),
      Resolve("mixerOpen", winmm.Open),
      Resolve("mixerGetDevCapsW", winmm.GetDevCaps),
      Resolve("mixerGetLineInfoW", winmm.GetLineInfo),
      Resolve("mixerGetLineControlsW", winmm.GetLineControls),
      Resolve("mixerGetControlDetailsW", winmm.GetControlDetails),
      Resolve("mixerSetControlDetails", winmm.SetControlDetails),
      Resolve("mixerClose", winmm.Close),
  };
  LoadSystemFunctionsOrExit(L"winmm.dll", functions);
  return winmm;
}

// Resolved during start-up, after the DLL search is restricted to System32
// (priority 101) and before the program's own static objects.
__attribute__((init_priority(110))) const WinmmDll winmmDll = LoadWinmmDll();

}  // namespace

const WinmmDll& Winmm() {
  return winmmDll;
}

}  // namespace kr35
