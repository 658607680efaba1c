// The Qt Widgets dialog host: builds the dialog window from the controller's
// template, runs it modally on the GUI thread, hands button clicks and posted
// messages to the controller in order, and provides message boxes, the wait
// cursor and the file-open dialog.
//
// While a handler holds the GUI thread in a command exchange, the dialog
// waits on the host's clock, which between short slices lets Qt paint and
// answer the window manager. User input that arrives meanwhile is discarded
// (the dialog takes none while it works), and messages posted to the dialog
// are held and delivered afterwards, in order.
//
// Qt offers no access to a window's system menu on Linux. The host keeps its
// own "system menu" instead: it opens on a right click into the dialog and on
// Alt+Space, holds "Close" and the items appended by the controller.
#pragma once

#include <QDialog>
#include <QMenu>
#include <QPointer>
#include <QString>
#include <deque>
#include <map>
#include <memory>
#include <mutex>

#include "app/dialog_controller.h"
#include "app/dialog_host.h"
#include "app/keep_alive_clock.h"

namespace kr35 {

class QtDialogHost final : public ModalDialogHost {
 public:
  // Must be created on the GUI thread, after the QApplication. `waitBase`:
  // the clock the dialog's waits run on between turns (a replayed session's
  // skips pauses and ends waits no answer can end).
  explicit QtDialogHost(Clock& waitBase = RealClock());
  ~QtDialogHost() override;
  QtDialogHost(const QtDialogHost&) = delete;
  QtDialogHost& operator=(const QtDialogHost&) = delete;

  // Builds the window of the controller's template and binds the controller
  // to it; the window is not shown. False for an unknown template.
  bool Create(DialogController& controller);
  // ModalDialogHost
  int RunModal(DialogController& controller) override;
  // Unbinds the controller: later clicks and posted messages are dropped.
  void Detach() { controller_ = nullptr; }

  QDialog* Window() const { return window_.get(); }
  QWidget* Control(int controlId) const;
  QMenu* SystemMenu() const { return systemMenu_; }
  int WaitCursorDepth() const { return waitCursorDepth_; }
  // The caption of message boxes: the executable's name without its extension.
  static QString ApplicationName();

  // DialogQueue: callable from any thread; delivered on the GUI thread in order.
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
  class MessageReceiver;
  class InputDiscarder;

  void Deliver(const DialogMessage& message);
  void DeliverHeld();
  // One turn of Qt's event handling from inside a handler (the clock's turn).
  void KeepWindowAlive();
  void BuildSystemMenu();

  DialogController* controller_ = nullptr;
  std::unique_ptr<QDialog> window_;
  std::map<int, QWidget*> controls_;
  QPointer<QMenu> systemMenu_;
  int waitCursorDepth_ = 0;

  std::mutex receiverMutex_;  // guards receiver_ against Post from other threads
  MessageReceiver* receiver_ = nullptr;

  // GUI thread only.
  int turnDepth_ = 0;               // inside KeepWindowAlive
  std::deque<DialogMessage> held_;  // posted messages that arrived during a turn
  bool deliveryPosted_ = false;     // an event to deliver held_ is on its way
  KeepAliveClock clock_;
};

}  // namespace kr35
