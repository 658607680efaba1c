// The standard mode: downloads the two built-in images.
#pragma once

#include "app/device_dialog.h"

namespace kr35 {

class StandardDialog : public DeviceDialog {
 public:
  StandardDialog(DialogHost& host, const DialogEnvironment& environment);

  bool OnDialogInit() override;
  void OnCommand(int controlId) override;
  // The Download button: confirmation, both parts, and the outcome in a message box.
  void OnDownload();

 protected:
  void ExchangeData() override;
};

}  // namespace kr35
