#include "app/qt/dialog_window.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QString>

#include "app/qt/dialog_units.h"

namespace kr35 {
namespace {

QWidget* CreateControl(const ControlTemplate& control, QWidget* parent) {
  const QString text = QString::fromStdString(control.text);
  switch (control.kind) {
    case ControlKind::kPushButton: {
      // The templates have no default button: Enter on the dialog or in a
      // path box clicks nothing.
      auto* button = new QPushButton(text, parent);
      button->setAutoDefault(false);
      return button;
    }
    case ControlKind::kEditBox: {
      auto* edit = new QLineEdit(text, parent);
      edit->setFrame(control.border);
      return edit;
    }
    case ControlKind::kStaticText:
      break;
  }
  // Static texts wrap at word boundaries, as the system's static controls do,
  // and show their text literally.
  auto* label = new QLabel(text, parent);
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(true);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return label;
}

Qt::WindowFlags FlagsFor(const DialogTemplate& dialogTemplate) {
  Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint;
  if (dialogTemplate.caption) flags |= Qt::WindowTitleHint;
  if (dialogTemplate.systemMenu) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if (dialogTemplate.modalFrame) flags |= Qt::MSWindowsFixedSizeDialogHint;
  return flags;
}

}  // namespace

DialogWindow BuildDialogWindow(const DialogTemplate& dialogTemplate) {
  DialogWindow window;
  window.dialog = std::make_unique<QDialog>(nullptr, FlagsFor(dialogTemplate));
  QDialog& dialog = *window.dialog;
  const QFont font = DialogFont(dialogTemplate.fontName, dialogTemplate.fontPointSize);
  dialog.setFont(font);
  dialog.setWindowTitle(QString::fromStdString(dialogTemplate.title));
  const DialogUnits units(font);
  dialog.setFixedSize(units.ToPixelsX(dialogTemplate.width),
                      units.ToPixelsY(dialogTemplate.height));
  for (const ControlTemplate& control : dialogTemplate.controls) {
    QWidget* widget = CreateControl(control, &dialog);
    widget->setGeometry(units.ToPixels(control.x, control.y, control.width, control.height));
    if (control.id >= 0) {
      widget->setObjectName(QString::number(control.id));
      window.controls[control.id] = widget;
    }
  }
  return window;
}

}  // namespace kr35
