// The Windows headers of the winmm backend. The mixer seam declares constants
// named like winmm's macros (MMSYSERR_*, MIXERLINE_*, MIXERCONTROL_*), so the
// seam comes first and the macros, which expand to the same values, after.
#pragma once

#include "mixer/mixer_api.h"

// windows.h must come before mmsystem.h.
// clang-format off
#include "win32/windows_api.h"
#include <mmsystem.h>
// clang-format on
