// Writing a firmware image into the adapter's USB and DSP parts.
#pragma once

#include <string>

#include "firmware/firmware_image.h"
#include "protocol/command_port.h"
#include "protocol/info_line.h"
#include "protocol/timing.h"

namespace kr35 {

// Output report lengths whose block size (length - 3) a block frame can carry.
inline constexpr unsigned kMinOutputReportLength = 4;
inline constexpr unsigned kMaxOutputReportLength = 64;
// A USB block frame (the code and 32 bytes) must fit whole after the output
// report's id byte: a shorter report would cut every block the adapter gets.
inline constexpr unsigned kMinUsbOutputReportLength = 1 + 1 + kUsbBlockSize;

// Empty when the output report carries a USB block frame; otherwise the info
// text that refuses the download. Checked before the first frame of any
// download that includes the USB part, so the adapter is never half updated.
std::string RefuseShortReportForUsb(unsigned reportLength);

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
