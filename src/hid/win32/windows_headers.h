// The Windows headers the Win32 backends use. Include them only through this
// file: the Windows headers define macros named like constants of the HID
// seams (WM_DEVICECHANGE, WM_USER, HIDP_STATUS_*), so the seams are declared
// first and the macros, which expand to the same values, come after.
#pragma once

#include "hid/dialog_queue.h"
#include "hid/report_parsing.h"

// windows.h comes before the others, which rely on its declarations.
// clang-format off
#include "win32/windows_api.h"
#include <dbt.h>
#include <setupapi.h>
// mingw-w64's HID headers declare the hid.dll functions without C linkage.
// They are called through hid/win32/hid_dll.h, never imported.
extern "C" {
#include <hidsdi.h>
#include <hidpi.h>
}
// clang-format on
