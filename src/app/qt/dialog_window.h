// Builds a Qt dialog window from a dialog template: every control at its
// place in pixels, in tab order, with the template's texts.
#pragma once

#include <QDialog>
#include <QWidget>
#include <map>
#include <memory>

#include "app/ui_resources.h"

namespace kr35 {

struct DialogWindow {
  std::unique_ptr<QDialog> dialog;
  std::map<int, QWidget*> controls;  // the controls that have an id, owned by the dialog
};

DialogWindow BuildDialogWindow(const DialogTemplate& dialogTemplate);

}  // namespace kr35
