#include "app/win32/win32_dialog_host.h"

#include <commdlg.h>

#include <string_view>
#include <utility>

#include "win32/utf16.h"

namespace kr35 {
namespace {

// The system refuses to post WM_DEVICECHANGE for arrivals and removals (their
// lParam would point to a device record), so queued device notices travel
// under this private message and reach the controller as WM_DEVICECHANGE.
constexpr UINT kQueuedDeviceChange = WM_APP + 0x219;

UINT PostedMessageCode(std::uint32_t message) {
  return message == WM_DEVICECHANGE ? kQueuedDeviceChange : message;
}

// The messages of the user's keys and mouse, client and non-client area.
struct MessageRange {
  UINT first;
  UINT last;
};
constexpr MessageRange kInputMessages[] = {
    {WM_KEYFIRST, WM_KEYLAST},
    {WM_MOUSEFIRST, WM_MOUSELAST},
    {WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK},
};
// Bounds one turn's painting should a window never validate itself.
constexpr int kMaxPaintsPerTurn = 64;

HCURSOR WaitCursor() {
  return LoadCursorA(nullptr, IDC_WAIT);
}

UINT ToWin32(MessageBoxIcon icon) {
  switch (icon) {
    case MessageBoxIcon::kExclamation:
      return MB_ICONEXCLAMATION;
    case MessageBoxIcon::kInformation:
      return MB_ICONINFORMATION;
    case MessageBoxIcon::kQuestion:
      return MB_ICONQUESTION;
    case MessageBoxIcon::kStop:
      return MB_ICONSTOP;
  }
  return 0;
}

UINT ToWin32(MessageBoxButtons buttons) {
  switch (buttons) {
    case MessageBoxButtons::kOk:
      return MB_OK;
    case MessageBoxButtons::kOkCancel:
      return MB_OKCANCEL;
    case MessageBoxButtons::kRetryCancel:
      return MB_RETRYCANCEL;
  }
  return MB_OK;
}

// Centres a dialog without an owner on the work area of its monitor, as the
// dialog framework does for a template placed at 0, 0.
void CenterOnWorkArea(HWND window) {
  RECT rect{};
  if (!GetWindowRect(window, &rect)) return;
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (!GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor)) return;
  const RECT& area = monitor.rcWork;
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  const int x = area.left + (area.right - area.left - width) / 2;
  const int y = area.top + (area.bottom - area.top - height) / 2;
  SetWindowPos(window, nullptr, x > area.left ? x : area.left, y > area.top ? y : area.top, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

Win32DialogHost::Win32DialogHost(HINSTANCE instance, Clock& waitBase)
    : instance_(instance != nullptr ? instance : GetModuleHandleA(nullptr)),
      clock_([this] { KeepWindowAlive(); }, kKeepAliveSlice, waitBase) {}

Win32DialogHost::~Win32DialogHost() {
  if (!modal_) Destroy();
  while (waitCursorDepth_ > 0) EndWaitCursor();
}

int Win32DialogHost::RunModal(DialogController& controller) {
  controller_ = &controller;
  modal_ = true;
  const INT_PTR result =
      DialogBoxParamA(instance_, MAKEINTRESOURCEA(controller.TemplateId()), nullptr,
                      &Win32DialogHost::DialogProcedure, reinterpret_cast<LPARAM>(this));
  Detach();
  modal_ = false;
  controller_ = nullptr;
  return static_cast<int>(result);
}

void Win32DialogHost::KeepWindowAlive() {
  ++turnDepth_;
  MSG message;
  // Taking input off the queue drops it, and also tells the system that the
  // thread is responsive (it pulled messages within the last five seconds).
  // Sent messages, such as device broadcasts, are handled inside PeekMessage.
  for (const MessageRange& range : kInputMessages) {
    while (PeekMessageA(&message, nullptr, range.first, range.last, PM_REMOVE)) {
    }
  }
  for (int i = 0; i < kMaxPaintsPerTurn; ++i) {
    if (!PeekMessageA(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) break;
    DispatchMessageA(&message);
  }
  --turnDepth_;
}

HWND Win32DialogHost::CreateModeless(DialogController& controller, HWND parent) {
  Destroy();
  controller_ = &controller;
  modal_ = false;
  HWND window =
      CreateDialogParamA(instance_, MAKEINTRESOURCEA(controller.TemplateId()), parent,
                         &Win32DialogHost::DialogProcedure, reinterpret_cast<LPARAM>(this));
  if (window == nullptr) controller_ = nullptr;
  return window;
}

void Win32DialogHost::Destroy() {
  HWND window = Window();
  Detach();
  controller_ = nullptr;
  if (window != nullptr) DestroyWindow(window);
}

void Win32DialogHost::Attach(HWND window) {
  std::lock_guard lock(pendingMutex_);
  window_.store(window);
  for (const DialogMessage& message : pending_) {
    PostMessageA(window, PostedMessageCode(message.message), static_cast<WPARAM>(message.wParam),
                 static_cast<LPARAM>(message.lParam));
  }
  pending_.clear();
}

void Win32DialogHost::Detach() {
  std::lock_guard lock(pendingMutex_);
  window_.store(nullptr);
}

void Win32DialogHost::Post(const DialogMessage& message) {
  std::lock_guard lock(pendingMutex_);
  HWND window = window_.load();
  if (window == nullptr) {
    pending_.push_back(message);
    return;
  }
  PostMessageA(window, PostedMessageCode(message.message), static_cast<WPARAM>(message.wParam),
               static_cast<LPARAM>(message.lParam));
}

INT_PTR CALLBACK Win32DialogHost::DialogProcedure(HWND window, UINT message, WPARAM wParam,
                                                  LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* host = reinterpret_cast<Win32DialogHost*>(lParam);
    SetWindowLongPtrA(window, DWLP_USER, lParam);
    return host->OnInitDialog(window);
  }
  auto* host = reinterpret_cast<Win32DialogHost*>(GetWindowLongPtrA(window, DWLP_USER));
  if (host == nullptr) return FALSE;
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrA(window, DWLP_USER, 0);
    if (host->Window() == window) host->Detach();
    return FALSE;
  }
  return host->HandleMessage(message, wParam, lParam);
}

INT_PTR Win32DialogHost::OnInitDialog(HWND window) {
  // The queue is the window from now on: the controller's start-up opens the
  // adapter, whose reader may post at once.
  Attach(window);
  RECT before{};
  GetWindowRect(window, &before);
  const bool focusFirst = controller_ == nullptr || controller_->OnDialogInit();
  RECT after{};
  GetWindowRect(window, &after);
  if (GetParent(window) == nullptr && EqualRect(&before, &after)) CenterOnWorkArea(window);
  return focusFirst ? TRUE : FALSE;
}

void Win32DialogHost::EndDialogWindow(INT_PTR result) {
  HWND window = Window();
  if (window == nullptr) return;
  if (modal_) {
    EndDialog(window, result);
  } else {
    Destroy();
  }
}

INT_PTR Win32DialogHost::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (turnDepth_ > 0) {
    // Sent to the window during a turn, inside a handler.
    switch (message) {
      case WM_COMMAND:
      case WM_CLOSE:
      case WM_SYSCOMMAND:
        return TRUE;  // the dialog takes no orders while it works
      case WM_DEVICECHANGE:
        // For after the handler, behind what is queued already. The
        // controller reads only the event; lParam would not outlive the call.
        Post({WM_DEVICECHANGE, static_cast<std::uintptr_t>(wParam), 0});
        return FALSE;
      default:
        break;
    }
  }
  switch (message) {
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      if (HIWORD(wParam) != BN_CLICKED) return FALSE;
      // Escape (and the close box, through WM_CLOSE) end the dialog. The
      // templates have no OK button; Enter in an edit box does not end it.
      if (id == IDCANCEL) {
        EndDialogWindow(IDCANCEL);
        return TRUE;
      }
      if (id == IDOK) return TRUE;
      if (controller_ != nullptr) controller_->OnCommand(id);
      return TRUE;
    }
    case WM_CLOSE:
      EndDialogWindow(IDCANCEL);
      return TRUE;
    case WM_HID_EVENT:
      if (controller_ != nullptr) {
        controller_->OnMessage(
            {message, static_cast<std::uintptr_t>(wParam), static_cast<std::intptr_t>(lParam)});
      }
      return TRUE;
    case WM_DEVICECHANGE:
      if (controller_ != nullptr) {
        controller_->OnMessage(
            {message, static_cast<std::uintptr_t>(wParam), static_cast<std::intptr_t>(lParam)});
      }
      return FALSE;  // and the default processing
    case kQueuedDeviceChange:
      if (controller_ != nullptr) {
        controller_->OnMessage({WM_DEVICECHANGE, static_cast<std::uintptr_t>(wParam),
                                static_cast<std::intptr_t>(lParam)});
      }
      return TRUE;
    case WM_SETCURSOR:
      if (waitCursorDepth_ > 0) {
        SetCursor(WaitCursor());
        SetWindowLongPtrA(Window(), DWLP_MSGRESULT, TRUE);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

std::string Win32DialogHost::ApplicationName() {
  wchar_t path[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::string name = Utf8FromUtf16(std::wstring_view(path, length < MAX_PATH ? length : MAX_PATH));
  const std::size_t slash = name.find_last_of("\\/:");
  if (slash != std::string::npos) name.erase(0, slash + 1);
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return name;
}

void Win32DialogHost::SetControlText(int controlId, const std::string& text) {
  HWND window = Window();
  if (window == nullptr) return;
  SetDlgItemTextW(window, controlId, Utf16FromUtf8(text).c_str());
  // Paint now: a download keeps the dialog thread busy, and the info line
  // must still be seen to move. UpdateWindow paints without dispatching
  // queued messages.
  if (HWND control = GetDlgItem(window, controlId)) UpdateWindow(control);
}

std::string Win32DialogHost::GetControlText(int controlId) {
  HWND window = Window();
  HWND control = window != nullptr ? GetDlgItem(window, controlId) : nullptr;
  if (control == nullptr) return {};
  const int length = GetWindowTextLengthW(control);
  if (length <= 0) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const UINT copied = GetDlgItemTextW(window, controlId, text.data(), length + 1);
  text.resize(copied <= static_cast<UINT>(length) ? copied : static_cast<UINT>(length));
  return Utf8FromUtf16(text);
}

void Win32DialogHost::EnableControl(int controlId, bool enabled) {
  HWND window = Window();
  if (window == nullptr) return;
  if (HWND control = GetDlgItem(window, controlId)) EnableWindow(control, enabled ? TRUE : FALSE);
}

MessageBoxResult Win32DialogHost::ShowMessageBox(const std::string& text, MessageBoxIcon icon,
                                                 MessageBoxButtons buttons) {
  const std::string caption = ApplicationName();
  const int result = MessageBoxW(Window(), Utf16FromUtf8(text).c_str(),
                                 Utf16FromUtf8(caption).c_str(), ToWin32(icon) | ToWin32(buttons));
  switch (result) {
    case IDOK:
      return MessageBoxResult::kOk;
    case IDRETRY:
      return MessageBoxResult::kRetry;
    default:
      return buttons == MessageBoxButtons::kOk ? MessageBoxResult::kOk : MessageBoxResult::kCancel;
  }
}

void Win32DialogHost::BeginWaitCursor() {
  HCURSOR previous = SetCursor(WaitCursor());
  if (waitCursorDepth_++ == 0) cursorBeforeWait_ = previous;
}

void Win32DialogHost::EndWaitCursor() {
  if (waitCursorDepth_ == 0) return;  // unbalanced: leave the cursor alone
  if (--waitCursorDepth_ == 0) SetCursor(std::exchange(cursorBeforeWait_, nullptr));
}

std::optional<std::string> Win32DialogHost::BrowseForFile() {
  std::wstring path(32768, L'\0');  // room for long paths
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = Window();
  dialog.lpstrFile = path.data();
  dialog.nMaxFile = static_cast<DWORD>(path.size());
  dialog.Flags = OFN_HIDEREADONLY;
  if (!GetOpenFileNameW(&dialog)) return std::nullopt;
  path.resize(path.find(L'\0'));
  return Utf8FromUtf16(path);
}

void Win32DialogHost::AppendSystemMenuItem(int commandId, const std::string& text) {
  HWND window = Window();
  HMENU menu = window != nullptr ? GetSystemMenu(window, FALSE) : nullptr;
  if (menu == nullptr) return;
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  // No handler: choosing the item does nothing.
  AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(commandId), Utf16FromUtf8(text).c_str());
}

void Win32DialogHost::SetDialogIcon(int iconId) {
  HWND window = Window();
  if (window == nullptr) return;
  // Shared icons belong to the system's cache: nothing to free.
  auto load = [&](int widthMetric, int heightMetric) {
    return static_cast<HICON>(LoadImageA(instance_, MAKEINTRESOURCEA(iconId), IMAGE_ICON,
                                         GetSystemMetrics(widthMetric),
                                         GetSystemMetrics(heightMetric), LR_SHARED));
  };
  if (HICON big = load(SM_CXICON, SM_CYICON)) {
    SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
  }
  if (HICON smallIcon = load(SM_CXSMICON, SM_CYSMICON)) {
    SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon));
  }
}

}  // namespace kr35
