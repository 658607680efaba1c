#include "hid/win32/message_window_registration.h"

#include <future>
#include <mutex>

#include "hid/win32/hid_notification_filter.h"
#include "hid/win32/win32_notification_backend.h"

namespace kr35 {
namespace {

constexpr const char* kWindowClass = "kr35.DeviceNotices";
constexpr UINT kStopMessage = WM_APP + 1;

LRESULT CALLBACK NoticeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  } else if (message == WM_DEVICECHANGE) {
    auto* queue = reinterpret_cast<DialogQueue*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (queue) {
      for (const DialogMessage& notice : MessagesForDeviceChange(wParam)) queue->Post(notice);
    }
    return TRUE;
  } else if (message == kStopMessage) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

bool RegisterWindowClass() {
  static const bool registered = [] {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = NoticeWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kWindowClass;
    return RegisterClassExA(&windowClass) != 0;
  }();
  return registered;
}

// The window's thread: make the window and the registration, report the
// window (null on failure), then dispatch until told to stop.
void RunNoticeWindow(DialogQueue* queue, std::promise<HWND> ready) {
  HWND window = CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                GetModuleHandleA(nullptr), queue);
  HDEVNOTIFY registration = window ? RegisterHidNotices(window) : nullptr;
  if (!registration) {
    if (window) DestroyWindow(window);
    ready.set_value(nullptr);
    return;
  }
  ready.set_value(window);

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
  UnregisterDeviceNotification(registration);
  DestroyWindow(window);
}

}  // namespace

std::unique_ptr<MessageWindowRegistration> MessageWindowRegistration::Start(DialogQueue* queue) {
  if (!queue || !RegisterWindowClass()) return nullptr;
  std::unique_ptr<MessageWindowRegistration> registration(new MessageWindowRegistration());
  std::promise<HWND> ready;
  std::future<HWND> window = ready.get_future();
  registration->thread_ = std::thread(RunNoticeWindow, queue, std::move(ready));
  registration->window_ = window.get();
  if (!registration->window_) {
    registration->thread_.join();
    return nullptr;
  }
  return registration;
}

MessageWindowRegistration::~MessageWindowRegistration() {
  if (!thread_.joinable()) return;
  PostMessageA(window_, kStopMessage, 0, 0);
  thread_.join();
}

}  // namespace kr35
