#include "protocol/firmware_transfer.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "protocol/command_exchange.h"

namespace kr35 {
namespace {

template <typename... Args>
std::string Format(const char* format, Args... args) {
  char text[128];
  std::snprintf(text, sizeof text, format, args...);
  return text;
}

// Progress is computed in double precision and truncated toward zero. Only
// called after a block, so the count is never 0.
int Percent(std::int32_t bytesSent, double factor, std::size_t blockCount) {
  return static_cast<int>(static_cast<double>(bytesSent) * factor /
                          static_cast<double>(blockCount));
}

// A start command announces the block count in 16 bits: a payload that needs
// more blocks cannot be announced (the count would wrap, to 0 at worst), so
// the transfer refuses it before sending anything.
bool BlockCountFits(std::size_t blockCount, std::size_t length, const char* part, InfoLine& info) {
  if (blockCount <= kMaxBlockCount) return true;
  info.SetInfoText(Format("%s Error, image of %zu bytes is too large", part, length));
  info.RefreshControls();
  return false;
}

// Asks for the upgrade status until it is neither busy nor checksum-bad, with
// no pause of its own between the polls, for at most timing.statusWaitLimit
// from `started`. Each poll takes as long as SendCommand needs for it.
bool WaitUntilReady(CommandPort& port, const Timing& timing, std::chrono::nanoseconds started) {
  Clock& clock = port.GetClock();
  while (!PollUpgradeStatus(port, timing, CMD_UPGRADE_STATUS)) {
    if (clock.Now() - started >= timing.statusWaitLimit) return false;
  }
  return true;
}

}  // namespace

std::string RefuseShortReportForUsb(unsigned reportLength) {
  if (reportLength >= kMinUsbOutputReportLength) return {};
  return Format("USB Error, output report length %u cannot carry a %u-byte block frame",
                reportLength, kMinUsbOutputReportLength - 1);
}

bool DownloadUsbFirmware(CommandPort& port, const Timing& timing, const FirmwareImage& image,
                         InfoLine& info) {
  if (const std::string refusal = RefuseShortReportForUsb(port.OutputReportByteLength());
      !refusal.empty()) {
    info.SetInfoText(refusal);
    info.RefreshControls();
    return false;
  }
  const std::span<const std::uint8_t> payload = image.Payload();
  const std::size_t length = payload.size();
  const std::size_t blockCount = BlockCount(length, kUsbBlockSize);
  if (!BlockCountFits(blockCount, length, "USB", info)) return false;
  std::string text;

  if (!SendCommand(port, timing,
                   MakeWordFrame(CMD_USB_START, static_cast<std::uint16_t>(blockCount)), text)) {
    return false;
  }

  std::int32_t bytesSent = 0;
  for (std::size_t offset = 0; offset < length; offset += kUsbBlockSize) {
    const std::size_t size = std::min(kUsbBlockSize, length - offset);
    // A block that no attempt got an answer for (the adapter is gone) fails
    // too; the last answer kept from an earlier block says nothing about it.
    const bool answered = SendCommand(
        port, timing, MakeBlockFrame(CMD_USB_BLOCK, payload.subspan(offset, size)), text);
    if (!answered || port.LastResponse()[0] != RSP_ACK) {
      info.SetInfoText(Format("USB Error, 0x%x bytes are written", bytesSent));
      info.RefreshControls();
      break;
    }
    info.SetInfoText(
        Format("Download Completion: USB %d %%.", Percent(bytesSent, 3.125, blockCount)));
    info.RefreshControls();
    bytesSent += static_cast<std::int32_t>(kUsbBlockSize);
  }

  // The end command goes out even after a refused block; its answer alone decides.
  const bool endAnswered =
      SendCommand(port, timing, MakeWordFrame(CMD_USB_END, image.Checksum()), text);
  bool result = false;
  if (!endAnswered || port.LastResponse()[0] != RSP_ACK) {
    info.SetInfoText("USB download Failure");
  } else {
    info.SetInfoText("100 percent");
    SendCommand(port, timing, MakeCodeFrame(CMD_USB_FINISH), text);
    port.GetClock().SleepFor(timing.finishPause);
    result = true;
  }
  info.RefreshControls();
  return result;
}

bool DownloadDspFirmware(CommandPort& port, const Timing& timing, const FirmwareImage& image,
                         InfoLine& info) {
  const unsigned reportLength = port.OutputReportByteLength();
  if (reportLength < kMinOutputReportLength || reportLength > kMaxOutputReportLength) {
    info.SetInfoText(Format("DSP Error, output report length %u is not supported", reportLength));
    info.RefreshControls();
    return false;
  }
  const std::size_t blockSize = static_cast<std::uint16_t>(reportLength - 3);
  const std::span<const std::uint8_t> payload = image.Payload();
  const std::size_t length = payload.size();
  const std::size_t blockCount = BlockCount(length, blockSize);
  if (!BlockCountFits(blockCount, length, "DSP", info)) return false;
  std::string text;

  if (!SendCommand(port, timing,
                   MakeWordFrame(CMD_DSP_START, static_cast<std::uint16_t>(blockCount)), text)) {
    return false;
  }
  // A not-yet-ready adapter may answer UPGRADE_CHECKSUM_BAD, which SendCommand
  // accepts at once, as well as UPGRADE_BUSY: the wait is bounded by time.
  if (!WaitUntilReady(port, timing, port.GetClock().Now())) {
    info.SetInfoText("DSP Error, the adapter stayed busy");
    info.RefreshControls();
    return false;
  }

  bool blockRefused = false;
  std::int32_t bytesSent = 0;
  for (std::size_t offset = 0; offset < length; offset += blockSize) {
    const std::size_t size = std::min(blockSize, length - offset);
    const bool answered = SendCommand(
        port, timing, MakeBlockFrame(CMD_DSP_BLOCK, payload.subspan(offset, size)), text);
    if (!answered || port.LastResponse()[1] != 0) {
      info.SetInfoText(Format("DSP Error, 0x%x bytes are written", bytesSent));
      info.RefreshControls();
      blockRefused = true;
      break;
    }
    info.SetInfoText(
        Format("Download Completion: DSP %d %%.", Percent(bytesSent, 1.66, blockCount)));
    info.RefreshControls();
    bytesSent += static_cast<std::int32_t>(blockSize);
  }

  if (!SendCommand(port, timing, MakeWordFrame(CMD_DSP_END, image.Checksum()), text) ||
      blockRefused) {
    return false;
  }
  // The verdict on the image is the status answer to this query. When no
  // attempt got one, or the answer taken is not a status (an answer to an
  // earlier command that came late, such as the end command's
  // acknowledgement), it says nothing about the image: that is a failure.
  // An adapter still ready for blocks has not taken the end command either.
  const StatusPoll verdict = PollStatus(port, timing, CMD_UPGRADE_STATUS);
  return verdict.answered && verdict.ready && port.LastResponse()[0] == RSP_UPGRADE_STATUS &&
         port.LastResponse()[1] != UPGRADE_READY_4_BLOCK;
}

}  // namespace kr35
