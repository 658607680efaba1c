#include "app/full_dialog.h"

#include "app/command_line.h"
#include "app/dialog_ids.h"

namespace kr35 {

FullDialog::FullDialog(DialogHost& host, const DialogEnvironment& environment)
    : DeviceDialog(kFullDialogId, host, environment) {}

void FullDialog::ExchangeData() {
  host_.SetControlText(kInfoLine, InfoText());
}

void FullDialog::OnCommand(int controlId) {
  switch (controlId) {
    case kDownloadButton:
      OnDownload();
      break;
    case kUsbBrowseButton:
      OnBrowse(kUsbPathBox);
      break;
    case kDspBrowseButton:
      OnBrowse(kDspPathBox);
      break;
    case kVersionButton:
      ShowInstalledVersions();
      break;
    default:
      break;
  }
}

void FullDialog::OnBrowse(int pathBoxId) {
  if (const auto path = host_.BrowseForFile()) host_.SetControlText(pathBoxId, *path);
}

void FullDialog::OnDownload() {
  host_.BeginWaitCursor();
  dspPathText = host_.GetControlText(kDspPathBox);
  usbPathText = host_.GetControlText(kUsbPathBox);
  // The files are converted one by one just before their transfers: a report
  // too short for the USB blocks must stop the run before the DSP part goes out.
  if (!usbPathText.empty() && !WritesDumpFiles() && !CheckReportForUsbDownload()) {
    host_.EndWaitCursor();
    return;
  }
  bool processed = false;
  bool allSucceeded = true;
  for (const auto& [path, part] :
       {std::pair{dspPathText, FirmwarePart::kDsp}, std::pair{usbPathText, FirmwarePart::kUsb}}) {
    if (path.empty()) continue;
    const FileResult result = DownloadFromFile(path, part);
    if (result == FileResult::kStopped) {
      host_.EndWaitCursor();
      return;
    }
    processed = true;
    allSucceeded = allSucceeded && result == FileResult::kSucceeded;
  }
  host_.SetControlText(kInfoLine, processed && allSucceeded ? "Success!" : "Fail!");
  host_.EndWaitCursor();
}

FullDialog::FileResult FullDialog::DownloadFromFile(const std::string& path, FirmwarePart part) {
  const HexFileImage file = ReadHexFileImage(path, part);
  if (!file.readable) {
    host_.ShowMessageBox(file.error, MessageBoxIcon::kStop, MessageBoxButtons::kOk);
    return FileResult::kStopped;
  }
  return DownloadImage(file, part);
}

bool FullDialog::WritesDumpFiles() const {
  return commandLineParameter == kSaveAsResFileParameter;
}

FullDialog::FileResult FullDialog::DownloadImage(const HexFileImage& file, FirmwarePart part) {
  if (file.empty) return FileResult::kFailed;
  if (WritesDumpFiles()) {
    std::string error;
    if (!WriteDumpFile(".", part, file.Image(), error)) {
      host_.ShowMessageBox(error, MessageBoxIcon::kStop, MessageBoxButtons::kOk);
      return FileResult::kStopped;
    }
    return FileResult::kSucceeded;
  }
  const FirmwareImage image(file.Image());
  const bool ok =
      part == FirmwarePart::kDsp ? DownloadDspFirmware(image) : DownloadUsbFirmware(image);
  return ok ? FileResult::kSucceeded : FileResult::kFailed;
}

}  // namespace kr35
