#include "app/qt/run_qt_dialog.h"

#include <QApplication>

#include "app/qt/qt_dialog_host.h"

namespace kr35 {

int RunQtDialog(int& argc, char** argv, const DialogControllerFactory& makeController) {
  QApplication application(argc, argv);
  QtDialogHost host;
  std::unique_ptr<DialogController> controller = makeController(host);
  if (!controller) return -1;
  const int result = host.RunModal(*controller);
  controller.reset();
  return result;
}

}  // namespace kr35
