// The Win32 dialog host: runs the controller's dialog from its resource
// template (generated from resources/ui.json) with DialogBoxParamA, hands
// button clicks, WM_HID_EVENT and WM_DEVICECHANGE to the controller on the
// dialog thread, and provides message boxes, the wait cursor, the file-open
// dialog, the system menu and the icons. Texts cross into Windows as UTF-16
// (the wide functions), so a non-ASCII product name reads the same in every
// code page. Its queue is the dialog's window,
// so device notices and mixer notices can be registered on it.
//
// While a handler holds the dialog thread in a command exchange, the dialog
// waits on the host's clock, which between short slices paints the windows
// and takes the thread's input off its queue (discarding it), so that the
// system does not take the window for hung. Posted messages stay queued for
// afterwards, in order.
#pragma once

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/dialog_controller.h"
#include "app/dialog_host.h"
#include "app/keep_alive_clock.h"
#include "hid/win32/win32_window_queue.h"

namespace kr35 {

class Win32DialogHost final : public ModalDialogHost, public Win32WindowQueue {
 public:
  // `instance`: the module holding the templates and the icon; null for the
  // program's own. `waitBase`: the clock the dialog's waits run on between
  // turns (a replayed session's skips pauses and ends waits no answer can end).
  explicit Win32DialogHost(HINSTANCE instance = nullptr, Clock& waitBase = RealClock());
  ~Win32DialogHost() override;
  Win32DialogHost(const Win32DialogHost&) = delete;
  Win32DialogHost& operator=(const Win32DialogHost&) = delete;

  // ModalDialogHost: runs the controller's dialog until its close box or
  // Escape ends it. Returns the dialog's result, or -1 when the window cannot
  // be created.
  int RunModal(DialogController& controller) override;
  // Creates the dialog modeless (for tests and embedding); WM_INITDIALOG runs
  // the controller's OnDialogInit as in the modal run. Null on failure.
  HWND CreateModeless(DialogController& controller, HWND parent = nullptr);
  // Destroys a modeless dialog.
  void Destroy();

  // The caption of message boxes: the executable's file name without its extension.
  static std::string ApplicationName();
  int WaitCursorDepth() const { return waitCursorDepth_; }

  // Win32WindowQueue
  HWND Window() override { return window_.load(); }
  // DialogQueue: PostMessageA to the dialog's window, from any thread.
  // Messages posted before the window exists are posted when it is created.
  // WM_DEVICECHANGE, which the system will not post, is queued under a
  // private message and handed to the controller as WM_DEVICECHANGE.
  void Post(const DialogMessage& message) override;

  // DialogHost
  void SetControlText(int controlId, const std::string& text) override;
  std::string GetControlText(int controlId) override;
  void EnableControl(int controlId, bool enabled) override;
  MessageBoxResult ShowMessageBox(const std::string& text, MessageBoxIcon icon,
                                  MessageBoxButtons buttons) override;
  void BeginWaitCursor() override;
  void EndWaitCursor() override;
  std::optional<std::string> BrowseForFile() override;
  void AppendSystemMenuItem(int commandId, const std::string& text) override;
  void SetDialogIcon(int iconId) override;
  KeepAliveClock& WaitClock() override { return clock_; }

 private:
  // One turn from inside a handler (the clock's turn): paint, drop input.
  void KeepWindowAlive();
  static INT_PTR CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR OnInitDialog(HWND window);
  void EndDialogWindow(INT_PTR result);
  void Attach(HWND window);
  void Detach();

  HINSTANCE instance_;
  DialogController* controller_ = nullptr;
  bool modal_ = false;
  std::atomic<HWND> window_{nullptr};

  std::mutex pendingMutex_;  // guards pending_ and the switch from pending to posting
  std::vector<DialogMessage> pending_;

  int waitCursorDepth_ = 0;
  HCURSOR cursorBeforeWait_ = nullptr;

  int turnDepth_ = 0;  // inside KeepWindowAlive
  KeepAliveClock clock_;
};

}  // namespace kr35
