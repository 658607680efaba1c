// Device notices on Linux: a udev monitor for hidraw nodes, watched by a
// thread of its own that posts WM_DEVICECHANGE messages to the dialog's queue.
#pragma once

#include <string_view>
#include <vector>

#include "hid/device_notification.h"

namespace kr35 {

class UdevNotificationBackend final : public DeviceNotificationBackend {
 public:
  // The kernel release from uname ("6.1.0-18-amd64" gives 6.1).
  PlatformVersion GetPlatformVersion() override;
  // Null when the udev monitor cannot be set up. Destroying the registration
  // stops its thread at once.
  std::unique_ptr<NotificationRegistration> Register(DialogQueue* queue) override;
};

// Major and minor number at the start of a kernel release text; 0 where absent.
PlatformVersion ParseKernelRelease(std::string_view release);

// What one udev action on a hidraw node posts: "add" an arrival, "remove" a
// removal, each followed by a device-tree change; nothing for other actions.
std::vector<DialogMessage> MessagesForUdevAction(std::string_view action);

}  // namespace kr35
