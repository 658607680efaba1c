// Writing a firmware image into the adapter's USB and DSP parts.
#pragma once

#include "firmware/firmware_image.h"
#include "protocol/command_port.h"
#include "protocol/info_line.h"
#include "protocol/timing.h"

namespace kr35 {

// Output report lengths whose block size (length - 3) a block frame can carry.
inline constexpr unsigned kMinOutputReportLength = 4;
inline constexpr unsigned kMaxOutputReportLength = 64;

// Both transfers refuse, before any frame, a payload whose block count does
// not fit the 16 bits of the start command ("... Error, image of N bytes is
// too large").

// 32-byte blocks, CMD_USB_END with the checksum, "100 percent" and
// CMD_USB_FINISH. True when the adapter accepted the end command.
bool DownloadUsbFirmware(CommandPort& port, const Timing& timing, const FirmwareImage& image,
                         InfoLine& info);

// Blocks of (output report length - 3) bytes between upgrade-status checks.
// True when the adapter accepted every block and the final status is good.
bool DownloadDspFirmware(CommandPort& port, const Timing& timing, const FirmwareImage& image,
                         InfoLine& info);

}  // namespace kr35
