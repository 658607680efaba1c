// The device-notification seam: arrival, removal and device-tree-changed
// notices of HID interfaces, delivered to a dialog's queue as WM_DEVICECHANGE
// messages (wParam DBT_DEVICEARRIVAL, DBT_DEVICEREMOVECOMPLETE or DBT_DEVNODES_CHANGED).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "hid/dialog_queue.h"

namespace kr35 {

struct PlatformVersion {
  unsigned major = 0;
  unsigned minor = 0;
  std::string servicePack;  // e.g. " A" on the one platform that cannot register
};

// One live registration; destroying it ends the notices.
class NotificationRegistration {
 public:
  virtual ~NotificationRegistration() = default;
};

// What every backend posts when an interface arrives (DBT_DEVICEARRIVAL) or
// goes away (DBT_DEVICEREMOVECOMPLETE): that notice, then a device-tree
// change. Nothing for any other event.
inline std::vector<DialogMessage> DeviceChangeMessages(std::uintptr_t event) {
  if (event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE) return {};
  return {{WM_DEVICECHANGE, event, 0}, {WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0}};
}

class DeviceNotificationBackend {
 public:
  virtual ~DeviceNotificationBackend() = default;
  virtual PlatformVersion GetPlatformVersion() = 0;
  // Starts posting HID interface notices to `queue`; null on failure.
  virtual std::unique_ptr<NotificationRegistration> Register(DialogQueue* queue) = 0;
};

}  // namespace kr35
