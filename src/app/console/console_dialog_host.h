// The dialog host of kr35ctl: controls are texts in memory, their changes are
// printed, message boxes become prompts, and the dialog's queue is drained by
// the command that runs the dialog.
#pragma once

#include <chrono>
#include <deque>
#include <map>
#include <optional>
#include <string>

#include "app/console/event_printer.h"
#include "app/dialog_controller.h"
#include "app/dialog_host.h"
#include "app/message_queue.h"

namespace kr35 {

class ConsoleDialogHost : public DialogHost {
 public:
  // assumeYes: confirmations are answered OK and failure boxes Cancel.
  // interactive: message boxes may ask on the terminal.
  ConsoleDialogHost(EventPrinter& printer, bool assumeYes, bool interactive)
      : printer_(printer), assumeYes_(assumeYes), interactive_(interactive) {}

  void SetControlText(int controlId, const std::string& text) override;
  std::string GetControlText(int controlId) override;
  void EnableControl(int controlId, bool enabled) override;
  bool IsControlEnabled(int controlId) const;
  MessageBoxResult ShowMessageBox(const std::string& text, MessageBoxIcon icon,
                                  MessageBoxButtons buttons) override;
  // The wait cursor spans the transfers: on the terminal it marks them for the
  // signal handlers (a first Ctrl+C then only warns).
  void BeginWaitCursor() override;
  void EndWaitCursor() override;
  std::optional<std::string> BrowseForFile() override { return std::nullopt; }
  void AppendSystemMenuItem(int, const std::string&) override {}
  void SetDialogIcon(int) override {}
  void Post(const DialogMessage& message) override { queue_.Post(message); }

  // Hands queued messages to the controller until the queue is empty.
  void DispatchQueued(DialogController& controller);
  // Waits at most `timeout` for a message; hands over every queued one.
  void DispatchFor(DialogController& controller, std::chrono::milliseconds timeout);

  // Texts of the message boxes shown, in order.
  const std::deque<std::string>& MessagesShown() const { return messagesShown_; }

 private:
  EventPrinter& printer_;
  bool assumeYes_;
  bool interactive_;
  std::map<int, std::string> texts_;
  std::map<int, bool> enabled_;
  std::deque<std::string> messagesShown_;
  int waitDepth_ = 0;
  MessageQueue queue_;
};

}  // namespace kr35
