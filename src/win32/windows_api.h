// The one way into the Windows headers: the lean set of windows.h, without its
// min and max macros. Headers that declare names the Windows macros would
// clash with (the HID and mixer seams) are included before this one.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
