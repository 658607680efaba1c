// The Windows headers of the winmm backend. The mixer seam declares constants
// named like winmm's macros (MMSYSERR_*, MIXERLINE_*, MIXERCONTROL_*), so the
// seam comes first and the macros, which expand to the same values, after.
#pragma once

#include "mixer/mixer_api.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
// windows.h must come before mmsystem.h.
// clang-format off
#include <windows.h>
#include <mmsystem.h>
// clang-format on
