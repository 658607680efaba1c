#include "app/qt/qt_dialog_host.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <utility>

#include "app/dialog_ids.h"
#include "app/qt/dialog_window.h"
#include "app/ui_resources.h"

namespace kr35 {
namespace {

QEvent::Type PostedMessageType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

// Asks the receiver to deliver the messages held during a turn.
QEvent::Type DeliverHeldType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

class PostedMessageEvent : public QEvent {
 public:
  explicit PostedMessageEvent(const DialogMessage& message)
      : QEvent(PostedMessageType()), message_(message) {}
  const DialogMessage& Message() const { return message_; }

 private:
  DialogMessage message_;
};

QMessageBox::Icon ToQt(MessageBoxIcon icon) {
  switch (icon) {
    case MessageBoxIcon::kExclamation:
      return QMessageBox::Warning;
    case MessageBoxIcon::kInformation:
      return QMessageBox::Information;
    case MessageBoxIcon::kQuestion:
      return QMessageBox::Question;
    case MessageBoxIcon::kStop:
      return QMessageBox::Critical;
  }
  return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ToQt(MessageBoxButtons buttons) {
  switch (buttons) {
    case MessageBoxButtons::kOk:
      return QMessageBox::Ok;
    case MessageBoxButtons::kOkCancel:
      return QMessageBox::Ok | QMessageBox::Cancel;
    case MessageBoxButtons::kRetryCancel:
      return QMessageBox::Retry | QMessageBox::Cancel;
  }
  return QMessageBox::Ok;
}

}  // namespace

// Lives on the GUI thread; posted messages queue up as events addressed to it.
class QtDialogHost::MessageReceiver : public QObject {
 public:
  explicit MessageReceiver(QtDialogHost& host) : host_(host) {}

  bool event(QEvent* event) override {
    if (event->type() == PostedMessageType()) {
      host_.Deliver(static_cast<PostedMessageEvent*>(event)->Message());
      return true;
    }
    if (event->type() == DeliverHeldType()) {
      host_.deliveryPosted_ = false;
      host_.DeliverHeld();
      return true;
    }
    return QObject::event(event);
  }

 private:
  QtDialogHost& host_;
};

// Installed on the application during a turn: swallows keys, mouse, wheel,
// touch, shortcuts and close requests, so that nothing the user does reaches
// the dialog while a handler runs. Paints, exposes and the window manager's
// pings pass.
class QtDialogHost::InputDiscarder : public QObject {
 public:
  bool eventFilter(QObject*, QEvent* event) override {
    switch (event->type()) {
      case QEvent::Close:
      case QEvent::Shortcut:
      case QEvent::ShortcutOverride:
      case QEvent::ContextMenu:
        event->ignore();
        return true;
      default:
        if (!event->isInputEvent()) return false;
        event->ignore();
        return true;
    }
  }
};

QtDialogHost::QtDialogHost(Clock& waitBase)
    : receiver_(new MessageReceiver(*this)),
      clock_([this] { KeepWindowAlive(); }, kKeepAliveSlice, waitBase) {}

QtDialogHost::~QtDialogHost() {
  MessageReceiver* receiver = nullptr;
  {
    std::lock_guard lock(receiverMutex_);
    receiver = std::exchange(receiver_, nullptr);
  }
  delete receiver;  // also discards the messages still queued for it
  while (waitCursorDepth_ > 0) EndWaitCursor();
}

void QtDialogHost::Post(const DialogMessage& message) {
  std::lock_guard lock(receiverMutex_);
  if (receiver_ != nullptr) QCoreApplication::postEvent(receiver_, new PostedMessageEvent(message));
}

void QtDialogHost::Deliver(const DialogMessage& message) {
  if (turnDepth_ > 0) {
    held_.push_back(message);
    return;
  }
  DeliverHeld();  // those came first
  if (controller_ != nullptr) controller_->OnMessage(message);
}

void QtDialogHost::DeliverHeld() {
  // A handler may take turns itself; what arrives then queues behind.
  while (turnDepth_ == 0 && !held_.empty()) {
    const DialogMessage message = held_.front();
    held_.pop_front();
    if (controller_ != nullptr) controller_->OnMessage(message);
  }
}

void QtDialogHost::KeepWindowAlive() {
  InputDiscarder discarder;
  QCoreApplication::instance()->installEventFilter(&discarder);
  ++turnDepth_;
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  --turnDepth_;
  QCoreApplication::instance()->removeEventFilter(&discarder);
  // Held messages go out once the handler has returned to an event loop.
  if (!held_.empty() && !deliveryPosted_) {
    std::lock_guard lock(receiverMutex_);
    if (receiver_ != nullptr) {
      deliveryPosted_ = true;
      QCoreApplication::postEvent(receiver_, new QEvent(DeliverHeldType()));
    }
  }
}

bool QtDialogHost::Create(DialogController& controller) {
  const DialogTemplate* dialogTemplate = FindDialogTemplate(controller.TemplateId());
  if (dialogTemplate == nullptr) return false;
  controller_ = nullptr;
  controls_.clear();
  window_.reset();

  DialogWindow built = BuildDialogWindow(*dialogTemplate);
  window_ = std::move(built.dialog);
  controls_ = std::move(built.controls);
  for (const auto& [id, widget] : controls_) {
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
      QObject::connect(button, &QPushButton::clicked, window_.get(), [this, id = id] {
        if (controller_ != nullptr) controller_->OnCommand(id);
      });
    }
  }
  if (dialogTemplate->systemMenu) BuildSystemMenu();
  controller_ = &controller;
  return true;
}

int QtDialogHost::RunModal(DialogController& controller) {
  if (!Create(controller)) return -1;
  controller.OnDialogInit();
  const int result = window_->exec();
  controller_ = nullptr;
  return result;
}

QWidget* QtDialogHost::Control(int controlId) const {
  auto it = controls_.find(controlId);
  return it == controls_.end() ? nullptr : it->second;
}

QString QtDialogHost::ApplicationName() {
  return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

void QtDialogHost::SetControlText(int controlId, const std::string& text) {
  QWidget* widget = Control(controlId);
  if (widget == nullptr) return;
  const QString value = QString::fromStdString(text);
  if (auto* label = qobject_cast<QLabel*>(widget)) {
    label->setText(value);
  } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
    button->setText(value);
  } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
    edit->setText(value);
  }
  // Paint now: a download keeps the GUI thread busy, and the info line must
  // still be seen to move. repaint() draws without handling queued events.
  widget->repaint();
}

std::string QtDialogHost::GetControlText(int controlId) {
  QWidget* widget = Control(controlId);
  QString text;
  if (auto* label = qobject_cast<QLabel*>(widget)) {
    text = label->text();
  } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
    text = button->text();
  } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
    text = edit->text();
  }
  return text.toStdString();
}

void QtDialogHost::EnableControl(int controlId, bool enabled) {
  if (QWidget* widget = Control(controlId)) widget->setEnabled(enabled);
}

MessageBoxResult QtDialogHost::ShowMessageBox(const std::string& text, MessageBoxIcon icon,
                                              MessageBoxButtons buttons) {
  QMessageBox box(ToQt(icon), ApplicationName(), QString::fromStdString(text), ToQt(buttons),
                  window_.get());
  box.setTextFormat(Qt::PlainText);
  // The first button is the default, as in the system's message boxes.
  box.setDefaultButton(buttons == MessageBoxButtons::kRetryCancel ? QMessageBox::Retry
                                                                  : QMessageBox::Ok);
  box.exec();
  switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Ok:
      return MessageBoxResult::kOk;
    case QMessageBox::Retry:
      return MessageBoxResult::kRetry;
    default:
      return buttons == MessageBoxButtons::kOk ? MessageBoxResult::kOk : MessageBoxResult::kCancel;
  }
}

void QtDialogHost::BeginWaitCursor() {
  ++waitCursorDepth_;
  QApplication::setOverrideCursor(Qt::WaitCursor);
}

void QtDialogHost::EndWaitCursor() {
  if (waitCursorDepth_ == 0) return;  // unbalanced: leave other owners' cursors alone
  --waitCursorDepth_;
  QApplication::restoreOverrideCursor();
}

std::optional<std::string> QtDialogHost::BrowseForFile() {
  const QString path = QFileDialog::getOpenFileName(window_.get());
  if (path.isEmpty()) return std::nullopt;
  return QFile::encodeName(path).toStdString();
}

void QtDialogHost::BuildSystemMenu() {
  auto* menu = new QMenu(window_.get());
  menu->setObjectName(QStringLiteral("systemMenu"));
  QAction* close = menu->addAction(QObject::tr("&Close"));
  close->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));
  QObject::connect(close, &QAction::triggered, window_.get(), &QDialog::reject);
  systemMenu_ = menu;

  QDialog* dialog = window_.get();
  dialog->setContextMenuPolicy(Qt::CustomContextMenu);
  QObject::connect(dialog, &QWidget::customContextMenuRequested, menu,
                   [menu, dialog](const QPoint& at) { menu->popup(dialog->mapToGlobal(at)); });
  auto* shortcut = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Space), dialog);
  QObject::connect(shortcut, &QShortcut::activated, menu,
                   [menu, dialog] { menu->popup(dialog->mapToGlobal(QPoint(0, 0))); });
}

void QtDialogHost::AppendSystemMenuItem(int commandId, const std::string& text) {
  if (!systemMenu_) return;
  systemMenu_->addSeparator();
  // No handler: choosing the item does nothing.
  QAction* item = systemMenu_->addAction(QString::fromStdString(text));
  item->setData(commandId);
}

void QtDialogHost::SetDialogIcon(int iconId) {
  if (iconId != kIconId || !window_) return;
  QIcon icon;
  for (int size : {16, 32, 48, 64}) {
    icon.addFile(QStringLiteral(":/kr35/icon128-%1.png").arg(size), QSize(size, size));
  }
  window_->setWindowIcon(icon);
}

}  // namespace kr35
