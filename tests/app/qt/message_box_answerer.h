// Answers the message boxes a dialog shows, as a user would: notes each box
// as it is shown, and clicks its OK from a timer on the GUI thread.
//
// A click that arrives while a handler takes a keep-alive turn (a device
// notice handled in a box's loop refreshes the versions) is discarded like
// any input, and the box stays: the answerer clicks it again on its next
// poll. A box still there after `patience` is hidden and counted as stuck,
// so that a box nobody can answer fails the test instead of hanging it.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <functional>

namespace kr35 {

class MessageBoxAnswerer : public QObject {
 public:
  // `onBox` runs once for each box as it is shown, with the box and how many
  // boxes have come so far.
  explicit MessageBoxAnswerer(std::function<void(QMessageBox&, int count)> onBox = {},
                              int patienceMs = 10000)
      : onBox_(std::move(onBox)), patienceMs_(patienceMs) {
    QCoreApplication::instance()->installEventFilter(this);
    poll_.setInterval(1);
    QObject::connect(&poll_, &QTimer::timeout, [this] { Poll(); });
    poll_.start();
  }
  ~MessageBoxAnswerer() override { QCoreApplication::instance()->removeEventFilter(this); }

  QStringList texts;  // of each box, in order
  int stuck = 0;      // boxes that would not go away

  bool eventFilter(QObject* object, QEvent* event) override {
    auto* box = qobject_cast<QMessageBox*>(object);
    if (event->type() == QEvent::Show && box != nullptr && box != current_) {
      current_ = box;
      shown_.start();
      texts << box->text();
      if (onBox_) onBox_(*box, static_cast<int>(texts.size()));
    }
    return false;
  }

 private:
  void Poll() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || box != current_) return;
    if (shown_.elapsed() > patienceMs_) {
      ++stuck;
      box->hide();  // ends its loop without a close request
      return;
    }
    if (QAbstractButton* ok = box->button(QMessageBox::Ok)) ok->click();
  }

  std::function<void(QMessageBox&, int)> onBox_;
  int patienceMs_;
  QTimer poll_;
  QPointer<QMessageBox> current_;  // null again once that box is destroyed
  QElapsedTimer shown_;
};

}  // namespace kr35
