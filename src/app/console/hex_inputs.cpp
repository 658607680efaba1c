#include "app/console/hex_inputs.h"

#include "adapter/download_plan.h"
#include "firmware/firmware_image.h"

namespace kr35 {

std::string EmptyFileText(const std::string& path) {
  return "\"" + path + "\" is empty: there is nothing to convert";
}

bool ReadHexInputs(const std::string& dspHex, const std::string& usbHex, HexInputRule rule,
                   std::vector<HexInput>& inputs, std::string& error) {
  inputs.clear();
  for (const FirmwarePart part : kDownloadOrder) {
    const std::string& path = part == FirmwarePart::kDsp ? dspHex : usbHex;
    if (path.empty()) continue;
    std::vector<HexRecordFinding> findings;
    HexFileImage file = ReadHexFileImage(path, part, &findings);
    if (!file.readable) {
      error = file.error;
      return false;
    }
    // The adapter only checks the sum of what it receives: a record that
    // was corrupted on its way into the file would be flashed unnoticed.
    for (const HexRecordFinding& finding : findings) {
      if (IsDefect(finding)) {
        error = "\"" + path + "\" line " + std::to_string(finding.line) + ": " + finding.text +
                "; the file is refused";
        return false;
      }
    }
    if (rule == HexInputRule::kRequireImage) {
      if (file.empty) {
        error = EmptyFileText(path);
        return false;
      }
      // Random bytes, or a text without data records, convert to an image
      // without payload: flashing that would wipe the part.
      if (FirmwareImage(file.Image()).PayloadLength() == 0) {
        error = "\"" + path + "\" has no Intel HEX data records: no " +
                std::string(PartName(part)) + " image to download";
        return false;
      }
    }
    inputs.push_back(HexInput{part, path, std::move(file)});
  }
  return true;
}

}  // namespace kr35
