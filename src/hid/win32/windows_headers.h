// The Windows headers the Win32 backends use. Include them only through this
// file: the Windows headers define macros named like constants of the HID
// seams (WM_DEVICECHANGE, WM_USER, HIDP_STATUS_*), so the seams are declared
// first and the macros, which expand to the same values, come after.
#pragma once

#include "hid/dialog_queue.h"
#include "hid/report_parsing.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
// windows.h comes before the others, which rely on its declarations.
// clang-format off
#include <windows.h>
#include <dbt.h>
#include <setupapi.h>
// mingw-w64's HID headers declare the hid.dll functions without C linkage.
extern "C" {
#include <hidsdi.h>
#include <hidpi.h>
}
// clang-format on
