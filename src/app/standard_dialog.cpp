#include "app/standard_dialog.h"

#include <cstdio>

#include "app/dialog_ids.h"
#include "app/ui_resources.h"
#include "firmware/builtin_images.h"

namespace kr35 {
namespace {

PartImage BuiltInPart(int imageId) {
  const std::span<const std::uint8_t> bytes = LoadBuiltInImage(imageId);
  if (!FirmwareImage(bytes).HasHeader()) return {PartImage::Status::kInvalid, {}};
  return {PartImage::Status::kReady, bytes};
}

}  // namespace

StandardDialog::StandardDialog(DialogHost& host, const DialogEnvironment& environment)
    : DeviceDialog(kStandardDialogId, host, environment) {}

void StandardDialog::ExchangeData() {
  host_.SetControlText(kInfoLine, InfoText());
}

bool StandardDialog::OnDialogInit() {
  DeviceDialog::OnDialogInit();
  const FirmwareImage usb(LoadBuiltInImage(kUsbImageId));
  const FirmwareImage dsp(LoadBuiltInImage(kDspImageId));
  const std::string format = LoadResourceString(kAvailableVersionsString);
  char text[256];
  std::snprintf(text, sizeof text, format.c_str(), unsigned{usb.Version()},
                unsigned{dsp.Version()});
  host_.SetControlText(kAvailableVersionsLine, text);
  return true;
}

void StandardDialog::OnCommand(int controlId) {
  if (controlId == kDownloadButton) {
    OnDownload();
  } else if (controlId == kVersionButton) {
    ShowInstalledVersions();
  }
}

void StandardDialog::OnDownload() {
  if (host_.ShowMessageBox(LoadResourceString(kConfirmDownloadString), MessageBoxIcon::kExclamation,
                           MessageBoxButtons::kOkCancel) != MessageBoxResult::kOk) {
    return;
  }
  host_.BeginWaitCursor();
  DownloadPlan plan;
  plan.dsp = [] { return BuiltInPart(kDspImageId); };
  plan.usb = [] { return BuiltInPart(kUsbImageId); };
  plan.dspSource.image = LoadBuiltInImage(kDspImageId);
  plan.usbSource.image = LoadBuiltInImage(kUsbImageId);
  if (Download(plan).Done()) {
    host_.ShowMessageBox(LoadResourceString(kDownloadSucceededString), MessageBoxIcon::kInformation,
                         MessageBoxButtons::kOk);
  } else if (host_.ShowMessageBox(LoadResourceString(kDownloadFailedString),
                                  MessageBoxIcon::kQuestion,
                                  MessageBoxButtons::kRetryCancel) == MessageBoxResult::kRetry) {
    OnCommand(kDownloadButton);  // runs nested, with its own confirmation
  }
  host_.EndWaitCursor();
}

}  // namespace kr35
