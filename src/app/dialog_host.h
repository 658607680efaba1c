// The dialog-host seam: what the dialog controllers ask of a dialog framework
// (Qt, Win32, or the terminal). The host creates the window from its
// template, runs it modally, delivers button clicks and queued messages to
// the controller on the dialog thread, and implements the dialog's queue.
#pragma once

#include <optional>
#include <string>

#include "app/dialog_controller.h"
#include "hid/dialog_queue.h"
#include "protocol/clock.h"

namespace kr35 {

enum class MessageBoxIcon { kExclamation, kInformation, kQuestion, kStop };
enum class MessageBoxButtons { kOk, kOkCancel, kRetryCancel };
enum class MessageBoxResult { kOk, kCancel, kRetry };

class DialogHost : public DialogQueue {
 public:
  // Sets a control's text and repaints it at once, without handling queued events.
  virtual void SetControlText(int controlId, const std::string& text) = 0;
  virtual std::string GetControlText(int controlId) = 0;
  virtual void EnableControl(int controlId, bool enabled) = 0;
  // A modal message box with the application's name as its caption.
  virtual MessageBoxResult ShowMessageBox(const std::string& text, MessageBoxIcon icon,
                                          MessageBoxButtons buttons) = 0;
  virtual void BeginWaitCursor() = 0;
  virtual void EndWaitCursor() = 0;
  // The system's file-open dialog: all files, no default extension or name,
  // the read-only box hidden. The full path, or nullopt when cancelled.
  virtual std::optional<std::string> BrowseForFile() = 0;
  // Appends a separator and then a menu item to the window's system menu.
  virtual void AppendSystemMenuItem(int commandId, const std::string& text) = 0;
  // Sets the dialog's large and small icon.
  virtual void SetDialogIcon(int iconId) = 0;
  // The clock the dialog's command exchanges wait on. A host with a window
  // gives one that keeps the window painting during the waits.
  virtual Clock& WaitClock() { return RealClock(); }
};

// A host with a window of its own, which it runs modally.
class ModalDialogHost : public DialogHost {
 public:
  // Creates the window of the controller's template, runs the controller's
  // OnDialogInit and then the modal loop until the dialog is closed. Returns
  // the dialog's result, or -1 when the window cannot be created.
  virtual int RunModal(DialogController& controller) = 0;
};

}  // namespace kr35
