// The dialog-host seam: what the dialog controllers ask of a dialog framework
// (Qt, Win32, or the terminal). The host creates the window from its
// template, runs it modally, delivers button clicks and queued messages to
// the controller on the dialog thread, and implements the dialog's queue.
#pragma once

#include <optional>
#include <string>

#include "hid/dialog_queue.h"

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
};

}  // namespace kr35
