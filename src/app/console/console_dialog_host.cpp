#include "app/console/console_dialog_host.h"

#include <iostream>

#include "app/console/terminal_signals.h"
#include "app/dialog_ids.h"

namespace kr35 {
namespace {

constexpr const char* kCancelledNote =
    "kr35ctl: download cancelled; nothing was sent to the adapter\n";
// The dialog blanks its version line when the versions query fails; a
// terminal says so instead of printing an empty line.
constexpr const char* kNoVersionsAnswer = "the adapter did not answer the versions query";

}  // namespace

void ConsoleDialogHost::SetControlText(int controlId, const std::string& text) {
  const bool known = texts_.contains(controlId);
  std::string& current = texts_[controlId];
  // Only changes are reported; a first empty version line is one too.
  if (current == text && (known || controlId != kVersionLine)) return;
  current = text;
  if (controlId == kVersionLine) {
    printer_.Print("version", text.empty() ? kNoVersionsAnswer : text);
  } else if (controlId == kInfoLine) {
    printer_.Print("info", text);
  }
}

std::string ConsoleDialogHost::GetControlText(int controlId) {
  const auto it = texts_.find(controlId);
  return it == texts_.end() ? std::string() : it->second;
}

void ConsoleDialogHost::EnableControl(int controlId, bool enabled) {
  enabled_[controlId] = enabled;
}

bool ConsoleDialogHost::IsControlEnabled(int controlId) const {
  const auto it = enabled_.find(controlId);
  return it == enabled_.end() || it->second;
}

MessageBoxResult ConsoleDialogHost::ShowMessageBox(const std::string& text, MessageBoxIcon,
                                                   MessageBoxButtons buttons) {
  messagesShown_.push_back(text);
  printer_.Print("message", text);
  if (buttons == MessageBoxButtons::kOk) return MessageBoxResult::kOk;
  if (assumeYes_) {
    return buttons == MessageBoxButtons::kOkCancel ? MessageBoxResult::kOk
                                                   : MessageBoxResult::kCancel;
  }
  if (!interactive_) {
    std::cerr << "kr35ctl: no terminal to answer on; answered Cancel (use --yes to confirm)\n";
    if (buttons == MessageBoxButtons::kOkCancel) {
      std::cerr << kCancelledNote;
    }
    return MessageBoxResult::kCancel;
  }
  const bool retry = buttons == MessageBoxButtons::kRetryCancel;
  std::cerr << (retry ? "Retry? [r]etry/[C]ancel: " : "Proceed? [y]es (OK)/[N]o (Cancel): ");
  std::string answer;
  {
    // Nothing is sent while the user is asked: a signal then ends the program.
    const TransferSpan asking(false);
    SetPromptOpen(true);
    const bool answered = static_cast<bool>(std::getline(std::cin, answer));
    SetPromptOpen(false);
    if (!answered) std::cerr << "\n";  // end-of-input leaves the prompt open
  }
  const char first = answer.empty() ? '\0' : static_cast<char>(std::tolower(answer[0]));
  if (retry) return first == 'r' ? MessageBoxResult::kRetry : MessageBoxResult::kCancel;
  if (first == 'y' || first == 'o') return MessageBoxResult::kOk;
  std::cerr << kCancelledNote;
  return MessageBoxResult::kCancel;
}

void ConsoleDialogHost::BeginWaitCursor() {
  if (waitDepth_++ == 0) SetTransferInProgress(true);
}

void ConsoleDialogHost::EndWaitCursor() {
  if (waitDepth_ > 0 && --waitDepth_ == 0) SetTransferInProgress(false);
}

void ConsoleDialogHost::DispatchQueued(DialogController& controller) {
  queue_.DispatchFor(controller, std::chrono::milliseconds(0));
}

void ConsoleDialogHost::DispatchFor(DialogController& controller,
                                    std::chrono::milliseconds timeout) {
  queue_.DispatchFor(controller, timeout);
}

}  // namespace kr35
