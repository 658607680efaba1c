#include "app/full_dialog.h"

#include "adapter/transfer_texts.h"
#include "app/command_line.h"
#include "app/dialog_ids.h"
#include "firmware/file_io.h"

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
  const std::optional<bool> succeeded = WritesDumpFiles() ? DumpFiles() : DownloadFiles();
  if (succeeded) host_.SetControlText(kInfoLine, FullModeVerdictText(*succeeded));
  host_.EndWaitCursor();
}

std::optional<bool> FullDialog::DownloadFiles() {
  if (dspPathText.empty() && usbPathText.empty()) return false;
  // The files are converted one by one just before their transfers (the plan
  // refuses a report too short for the USB blocks before the DSP part goes
  // out); every named part is tried.
  HexFileImage files[2];
  DownloadPlan plan;
  plan.continueAfterFailure = true;
  for (const auto& named : PathsInOrder()) {
    const std::string path = named.first;
    const FirmwarePart part = named.second;
    if (path.empty()) continue;
    HexFileImage& file = files[part == FirmwarePart::kDsp ? 0 : 1];
    (part == FirmwarePart::kDsp ? plan.dsp : plan.usb) = [this, &file, path, part] {
      file = ReadHexFileImage(path, part);
      if (!file.readable) {
        ShowStop(file.error);
        return PartImage{PartImage::Status::kUnreadable, {}};
      }
      if (file.empty) return PartImage{PartImage::Status::kEmpty, {}};
      return PartImage{PartImage::Status::kReady, file.Image()};
    };
    plan.Source(part) = {false, path, {}, {}};  // converted only just before its transfer
  }
  const DownloadOutcome outcome = Download(plan);
  // A refusal of the report or a file that cannot be read stops the run
  // without a verdict: the user has been told why.
  if (outcome.reason == RefusalReason::kReportTooShortForUsb ||
      outcome.reason == RefusalReason::kInputUnreadable) {
    return std::nullopt;
  }
  return outcome.Done();
}

// Both files are read first and their dumps written as a set, so a file that
// cannot be read or a dump that cannot be written leaves the pair on disk as
// it was.
std::optional<bool> FullDialog::DumpFiles() {
  std::vector<HexFileImage> files;
  files.reserve(2);  // the dumps below point into these images
  std::vector<FileToWrite> dumps;
  bool allConverted = true;
  for (const auto& [path, part] : PathsInOrder()) {
    if (path.empty()) continue;
    const HexFileImage& file = files.emplace_back(ReadHexFileImage(path, part));
    if (!file.readable) return ShowStop(file.error);
    if (file.empty) {
      allConverted = false;
      continue;
    }
    dumps.push_back({std::filesystem::path(".") / DumpFileName(part), file.Image()});
  }
  std::string error;
  if (!WriteFilesAtomically(dumps, error)) return ShowStop(error);
  return !files.empty() && allConverted;
}

std::array<std::pair<std::string, FirmwarePart>, 2> FullDialog::PathsInOrder() const {
  std::array<std::pair<std::string, FirmwarePart>, 2> paths;
  for (std::size_t i = 0; i < kDownloadOrder.size(); ++i) {
    const FirmwarePart part = kDownloadOrder[i];
    paths[i] = {part == FirmwarePart::kDsp ? dspPathText : usbPathText, part};
  }
  return paths;
}

std::nullopt_t FullDialog::ShowStop(const std::string& text) {
  host_.ShowMessageBox(text, MessageBoxIcon::kStop, MessageBoxButtons::kOk);
  return std::nullopt;
}

FullDialog::FileResult FullDialog::DownloadFromFile(const std::string& path, FirmwarePart part) {
  const HexFileImage file = ReadHexFileImage(path, part);
  if (!file.readable) {
    ShowStop(file.error);
    return FileResult::kStopped;
  }
  return DownloadImage(file, part);
}

bool FullDialog::WritesDumpFiles() const {
  return commandLineParameter == kSaveAsResFileParameter;
}

FullDialog::FileResult FullDialog::DownloadImage(const HexFileImage& file, FirmwarePart part) {
  if (file.empty) return FileResult::kFailed;
  const FirmwareImage image(file.Image());
  const bool ok =
      part == FirmwarePart::kDsp ? DownloadDspFirmware(image) : DownloadUsbFirmware(image);
  return ok ? FileResult::kSucceeded : FileResult::kFailed;
}

}  // namespace kr35
