// Writing a firmware image into the adapter's USB and DSP parts. The
// transfers report what happens as typed events and end in a typed result;
// they write no texts of their own.
#pragma once

#include <optional>

#include "firmware/firmware_image.h"
#include "protocol/command_port.h"
#include "protocol/timing.h"
#include "protocol/transfer_events.h"

namespace kr35 {

// Output report lengths whose block size (length - 3) a block frame can carry.
inline constexpr unsigned kMinOutputReportLength = 4;
inline constexpr unsigned kMaxOutputReportLength = 64;
// A USB block frame (the code and 32 bytes) must fit whole after the output
// report's id byte: a shorter report would cut every block the adapter gets.
inline constexpr unsigned kMinUsbOutputReportLength = 1 + 1 + kUsbBlockSize;

// The progress shown after a block, in double precision truncated toward
// zero: the bytes of the blocks before it, times the part's factor, over the
// block count.
inline constexpr double kUsbPercentFactor = 3.125;
inline constexpr double kDspPercentFactor = 1.66;

// A refusal when the output report cannot carry a USB block frame. Checked
// before the first frame of any download that includes the USB part, so the
// adapter is never half updated.
std::optional<TransferRefusal> CheckReportForUsb(unsigned reportLength);

// Both transfers refuse, before any frame, a payload whose block count does
// not fit the 16 bits of the start command.

// 32-byte blocks, CMD_USB_END with the checksum, CMD_USB_FINISH. Succeeds when
// the adapter accepted the end command (even after a refused block).
TransferResult TransferUsbFirmware(CommandPort& port, const Timing& timing,
                                   const FirmwareImage& image, TransferObserver& observer);

// Blocks of (output report length - 3) bytes between upgrade-status checks.
// Succeeds when the adapter accepted every block and the final status is good.
TransferResult TransferDspFirmware(CommandPort& port, const Timing& timing,
                                   const FirmwareImage& image, TransferObserver& observer);

}  // namespace kr35
