// The FULL mode: downloads the images converted from the Intel HEX files named
// in the two path boxes, or, with the parameter "saveasresfile", writes them
// to dump files instead.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <utility>

#include "app/device_dialog.h"
#include "app/hex_download_file.h"

namespace kr35 {

class FullDialog : public DeviceDialog {
 public:
  FullDialog(DialogHost& host, const DialogEnvironment& environment);

  void OnCommand(int controlId) override;
  void OnDownload();
  void OnBrowse(int pathBoxId);

  enum class FileResult { kFailed, kSucceeded, kStopped };
  // Converts one file and downloads it. kStopped: the file could not be read;
  // an error box was shown.
  FileResult DownloadFromFile(const std::string& path, FirmwarePart part);
  // Downloads a file already read and converted.
  FileResult DownloadImage(const HexFileImage& file, FirmwarePart part);
  bool WritesDumpFiles() const;

  std::string commandLineParameter;
  std::string usbPathText;
  std::string dspPathText;

 protected:
  // Whether every file was processed successfully; none when the run stopped
  // with an error box.
  std::optional<bool> DownloadFiles();
  std::optional<bool> DumpFiles();
  std::array<std::pair<std::string, FirmwarePart>, 2> PathsInOrder() const;
  std::nullopt_t ShowStop(const std::string& text);

  // Only the info line is written back: the path boxes keep what the user put there.
  void ExchangeData() override;
};

}  // namespace kr35
