// Device notices on Windows: RegisterDeviceNotificationA for the HID
// interface class. A queue that is a window (Win32WindowQueue, the Win32
// dialog host) is registered directly, and WM_DEVICECHANGE goes to its window
// procedure. Any other queue (kr35ctl's terminal host) gets a hidden
// message-only window on a thread of its own that posts the notices to it.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "hid/device_notification.h"

namespace kr35 {

class Win32NotificationBackend final : public DeviceNotificationBackend {
 public:
  // From GetVersionExA.
  PlatformVersion GetPlatformVersion() override;
  // Null for a null queue or when the platform refuses the registration.
  std::unique_ptr<NotificationRegistration> Register(DialogQueue* queue) override;
};

// The version from GetVersionExA's record; `servicePack` is the record's
// fixed-size text, which need not end in a zero.
PlatformVersion PlatformVersionFromRecord(unsigned major, unsigned minor,
                                          std::string_view servicePack);

// What the hidden window posts for one WM_DEVICECHANGE it receives: an arrival
// or a removal, each followed by a device-tree change (which the system
// broadcasts only to top-level windows, not to message-only ones); nothing
// for other events.
std::vector<DialogMessage> MessagesForDeviceChange(std::uintptr_t event);

}  // namespace kr35
