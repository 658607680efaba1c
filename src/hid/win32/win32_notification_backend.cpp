#include "hid/win32/win32_notification_backend.h"

#include <cstring>

#include "hid/win32/hid_notification_filter.h"
#include "hid/win32/message_window_registration.h"
#include "hid/win32/win32_window_queue.h"

namespace kr35 {
namespace {

// A registration on the dialog's own window.
class WindowRegistration final : public NotificationRegistration {
 public:
  explicit WindowRegistration(HDEVNOTIFY handle) : handle_(handle) {}
  ~WindowRegistration() override { UnregisterDeviceNotification(handle_); }
  WindowRegistration(const WindowRegistration&) = delete;
  WindowRegistration& operator=(const WindowRegistration&) = delete;

 private:
  HDEVNOTIFY handle_;
};

}  // namespace

PlatformVersion PlatformVersionFromRecord(unsigned major, unsigned minor,
                                          std::string_view servicePack) {
  PlatformVersion version;
  version.major = major;
  version.minor = minor;
  version.servicePack.assign(servicePack.data(), strnlen(servicePack.data(), servicePack.size()));
  return version;
}

std::vector<DialogMessage> MessagesForDeviceChange(std::uintptr_t event) {
  return DeviceChangeMessages(event);
}

PlatformVersion Win32NotificationBackend::GetPlatformVersion() {
  OSVERSIONINFOA info{};
  static_assert(sizeof info == 148);
  info.dwOSVersionInfoSize = sizeof info;
  if (!GetVersionExA(&info)) return {};
  return PlatformVersionFromRecord(info.dwMajorVersion, info.dwMinorVersion,
                                   std::string_view(info.szCSDVersion, sizeof info.szCSDVersion));
}

std::unique_ptr<NotificationRegistration> Win32NotificationBackend::Register(DialogQueue* queue) {
  if (!queue) return nullptr;
  if (auto* windowQueue = dynamic_cast<Win32WindowQueue*>(queue)) {
    HWND window = windowQueue->Window();
    HDEVNOTIFY handle = window ? RegisterHidNotices(window) : nullptr;
    if (!handle) return nullptr;
    return std::make_unique<WindowRegistration>(handle);
  }
  return MessageWindowRegistration::Start(queue);
}

}  // namespace kr35
