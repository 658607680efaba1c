// The Intel HEX files named on kr35ctl's command line, read and converted
// together before anything is written or sent: one bad file then stops the
// command before it has changed anything.
#pragma once

#include <string>
#include <vector>

#include "app/hex_download_file.h"

namespace kr35 {

struct HexInput {
  FirmwarePart part;
  std::string path;
  HexFileImage file;
};

enum class HexInputRule {
  kAllowEmpty,    // convert: an empty file fails that image only, as in the dialog
  kRequireImage,  // download: an empty file or an image without data is refused
};

// Reads and converts the DSP file, then the USB file (either path may be
// empty: that part is not named). False with `error` naming the file and
// what is wrong with it; under either rule a record with a wrong checksum or
// that is not well formed refuses the file, naming its line.
bool ReadHexInputs(const std::string& dspHex, const std::string& usbHex, HexInputRule rule,
                   std::vector<HexInput>& inputs, std::string& error);

// The reason given for a named file that is empty.
std::string EmptyFileText(const std::string& path);

}  // namespace kr35
