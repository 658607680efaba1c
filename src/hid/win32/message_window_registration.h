// A hidden message-only window on a thread of its own, registered for HID
// interface notices, that posts them to a plain DialogQueue.
#pragma once

#include <memory>
#include <thread>

#include "hid/device_notification.h"
#include "hid/win32/windows_headers.h"

namespace kr35 {

class MessageWindowRegistration final : public NotificationRegistration {
 public:
  // Null when the window or the registration cannot be made.
  static std::unique_ptr<MessageWindowRegistration> Start(DialogQueue* queue);
  // Stops the window's thread; no notice is posted afterwards.
  ~MessageWindowRegistration() override;

  HWND Window() const { return window_; }

 private:
  MessageWindowRegistration() = default;

  std::thread thread_;
  HWND window_ = nullptr;
};

}  // namespace kr35
