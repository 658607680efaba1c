// The filter of a registration for HID interface notices.
#pragma once

#include "hid/win32/hid_dll.h"
#include "hid/win32/windows_headers.h"

namespace kr35 {

// Size 32, device type DBT_DEVTYP_DEVICEINTERFACE, the HID interface class.
inline DEV_BROADCAST_DEVICEINTERFACE_A HidNotificationFilter() {
  static_assert(sizeof(DEV_BROADCAST_DEVICEINTERFACE_A) == 32);
  DEV_BROADCAST_DEVICEINTERFACE_A filter{};
  filter.dbcc_size = sizeof filter;
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  Hid().GetHidGuid(&filter.dbcc_classguid);
  return filter;
}

// Registers `window` for HID interface notices (flags 0: a window handle).
inline HDEVNOTIFY RegisterHidNotices(HWND window) {
  DEV_BROADCAST_DEVICEINTERFACE_A filter = HidNotificationFilter();
  return RegisterDeviceNotificationA(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
}

}  // namespace kr35
