// kr35ctl commands that need no adapter: `image` and `convert`.
#pragma once

#include <string>

#include "app/console/event_printer.h"

namespace kr35 {

// `image builtin` or `image FILE`: each image's header and whether its checksum matches.
int RunImageCommand(const std::string& source, EventPrinter& printer);

// `convert`: writes "DSPFileDump.bin" then "USBFileDump.bin" into `outputDir`
// from the HEX files given (either may be empty).
int RunConvertCommand(const std::string& usbHex, const std::string& dspHex,
                      const std::string& outputDir, EventPrinter& printer);

}  // namespace kr35
