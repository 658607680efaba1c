// Registration of a dialog for HID interface arrival and removal notices.
#pragma once

#include <memory>

#include "hid/device_notification.h"

namespace kr35 {

class DeviceNotifier {
 public:
  // `backend` may be null: then nothing is ever registered.
  explicit DeviceNotifier(DeviceNotificationBackend* backend) : backend_(backend) {}
  ~DeviceNotifier() = default;  // ends the registration, if any
  DeviceNotifier(const DeviceNotifier&) = delete;
  DeviceNotifier& operator=(const DeviceNotifier&) = delete;

  // Registers `queue` for HID interface notices; always returns 1. A failed
  // registration is silent. A second call while registered keeps the first
  // registration (and its queue).
  int Register(DialogQueue* queue);

 private:
  DeviceNotificationBackend* backend_;
  DialogQueue* notifyQueue_ = nullptr;
  std::unique_ptr<NotificationRegistration> registration_;
};

}  // namespace kr35
