#include "protocol/firmware_transfer.h"

#include <algorithm>
#include <string>

#include "protocol/command_exchange.h"

namespace kr35 {
namespace {

// Only called after a block, so the count is never 0.
int Percent(std::uint32_t bytesSent, double factor, std::size_t blockCount) {
  return static_cast<int>(static_cast<double>(bytesSent) * factor /
                          static_cast<double>(blockCount));
}

// Records a refusal or failure as the result and tells the observer.
TransferResult Refuse(TransferObserver& observer, const TransferRefusal& refusal) {
  observer.OnRefused(refusal);
  return {refusal, std::nullopt};
}

TransferFailure Fail(TransferObserver& observer, const TransferFailure& failure) {
  observer.OnFailed(failure);
  return failure;
}

TransferResult Interrupted(TransferPart part, std::size_t block, std::uint32_t bytesSent) {
  return {std::nullopt, TransferFailure{part, TransferStep::kBlock, block, {}, bytesSent}, true};
}

// The answer a command got: the last response when one was accepted.
std::optional<ResponseFrame> AnswerOf(const CommandPort& port, bool answered) {
  if (!answered) return std::nullopt;
  return port.LastResponse();
}

// A start command announces the block count in 16 bits: a payload that needs
// more blocks cannot be announced (the count would wrap, to 0 at worst), so
// the transfer refuses it before sending anything.
std::optional<TransferRefusal> CheckBlockCount(std::size_t blockCount, std::size_t length,
                                               TransferPart part) {
  if (blockCount <= kMaxBlockCount) return std::nullopt;
  return TransferRefusal{part, RefusalReason::kImageTooLarge, length};
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

std::optional<TransferRefusal> CheckReportForUsb(unsigned reportLength) {
  if (reportLength >= kMinUsbOutputReportLength) return std::nullopt;
  return TransferRefusal{TransferPart::kUsb, RefusalReason::kReportTooShortForUsb, reportLength};
}

TransferResult TransferUsbFirmware(CommandPort& port, const Timing& timing,
                                   const FirmwareImage& image, TransferObserver& observer) {
  constexpr TransferPart kPart = TransferPart::kUsb;
  if (const auto refusal = CheckReportForUsb(port.OutputReportByteLength())) {
    return Refuse(observer, *refusal);
  }
  const std::span<const std::uint8_t> payload = image.Payload();
  const std::size_t length = payload.size();
  const std::size_t blockCount = BlockCount(length, kUsbBlockSize);
  if (const auto refusal = CheckBlockCount(blockCount, length, kPart)) {
    return Refuse(observer, *refusal);
  }
  std::string text;

  if (!SendCommand(port, timing,
                   MakeWordFrame(CMD_USB_START, static_cast<std::uint16_t>(blockCount)), text)) {
    return {std::nullopt, Fail(observer, {kPart, TransferStep::kStart, {}, {}, 0})};
  }

  std::optional<TransferFailure> blockFailure;
  std::uint32_t bytesSent = 0;
  std::size_t block = 0;
  for (std::size_t offset = 0; offset < length; offset += kUsbBlockSize, ++block) {
    if (observer.StopRequested()) return Interrupted(kPart, block + 1, bytesSent);
    const std::size_t size = std::min(kUsbBlockSize, length - offset);
    // A block that no attempt got an answer for (the adapter is gone) fails
    // too; the last answer kept from an earlier block says nothing about it.
    const bool answered = SendCommand(
        port, timing, MakeBlockFrame(CMD_USB_BLOCK, payload.subspan(offset, size)), text);
    if (!answered || port.LastResponse()[0] != RSP_ACK) {
      blockFailure = Fail(
          observer, {kPart, TransferStep::kBlock, block + 1, AnswerOf(port, answered), bytesSent});
      break;
    }
    observer.OnProgress({kPart, block + 1, blockCount, bytesSent,
                         Percent(bytesSent, kUsbPercentFactor, blockCount)});
    bytesSent += static_cast<std::uint32_t>(kUsbBlockSize);
  }

  // The end command goes out even after a refused block; its answer alone decides.
  const bool endAnswered =
      SendCommand(port, timing, MakeWordFrame(CMD_USB_END, image.Checksum()), text);
  if (!endAnswered || port.LastResponse()[0] != RSP_ACK) {
    const TransferFailure endFailure =
        Fail(observer, {kPart, TransferStep::kEnd, {}, AnswerOf(port, endAnswered), bytesSent});
    return {std::nullopt, blockFailure ? blockFailure : endFailure};
  }
  SendCommand(port, timing, MakeCodeFrame(CMD_USB_FINISH), text);
  port.GetClock().SleepFor(timing.finishPause);
  observer.OnDone(kPart);
  return {};
}

TransferResult TransferDspFirmware(CommandPort& port, const Timing& timing,
                                   const FirmwareImage& image, TransferObserver& observer) {
  constexpr TransferPart kPart = TransferPart::kDsp;
  const unsigned reportLength = port.OutputReportByteLength();
  if (reportLength < kMinOutputReportLength || reportLength > kMaxOutputReportLength) {
    return Refuse(observer, {kPart, RefusalReason::kReportLengthUnsupported, reportLength});
  }
  const std::size_t blockSize = static_cast<std::uint16_t>(reportLength - 3);
  const std::span<const std::uint8_t> payload = image.Payload();
  const std::size_t length = payload.size();
  const std::size_t blockCount = BlockCount(length, blockSize);
  if (const auto refusal = CheckBlockCount(blockCount, length, kPart)) {
    return Refuse(observer, *refusal);
  }
  std::string text;

  if (!SendCommand(port, timing,
                   MakeWordFrame(CMD_DSP_START, static_cast<std::uint16_t>(blockCount)), text)) {
    return {std::nullopt, Fail(observer, {kPart, TransferStep::kStart, {}, {}, 0})};
  }
  // A not-yet-ready adapter may answer UPGRADE_CHECKSUM_BAD, which SendCommand
  // accepts at once, as well as UPGRADE_BUSY: the wait is bounded by time.
  const std::chrono::nanoseconds started = port.GetClock().Now();
  observer.OnWait({kPart, TransferWait::For::kReadyForBlocks, started});
  if (!WaitUntilReady(port, timing, started)) {
    return {std::nullopt,
            Fail(observer, {kPart, TransferStep::kReady, {}, port.LastResponse(), 0})};
  }

  std::uint32_t bytesSent = 0;
  std::size_t block = 0;
  for (std::size_t offset = 0; offset < length; offset += blockSize, ++block) {
    if (observer.StopRequested()) return Interrupted(kPart, block + 1, bytesSent);
    const std::size_t size = std::min(blockSize, length - offset);
    const bool answered = SendCommand(
        port, timing, MakeBlockFrame(CMD_DSP_BLOCK, payload.subspan(offset, size)), text);
    if (!answered || port.LastResponse()[1] != 0) {
      const TransferFailure failure = Fail(
          observer, {kPart, TransferStep::kBlock, block + 1, AnswerOf(port, answered), bytesSent});
      // The end command still goes out; the refused block decides.
      SendCommand(port, timing, MakeWordFrame(CMD_DSP_END, image.Checksum()), text);
      return {std::nullopt, failure};
    }
    observer.OnProgress({kPart, block + 1, blockCount, bytesSent,
                         Percent(bytesSent, kDspPercentFactor, blockCount)});
    bytesSent += static_cast<std::uint32_t>(blockSize);
  }

  if (!SendCommand(port, timing, MakeWordFrame(CMD_DSP_END, image.Checksum()), text)) {
    return {std::nullopt, Fail(observer, {kPart, TransferStep::kEnd, {}, {}, bytesSent})};
  }
  // The verdict on the image is the status answer to this query. When no
  // attempt got one, or the answer taken is not a status (an answer to an
  // earlier command that came late, such as the end command's
  // acknowledgement), it says nothing about the image: that is a failure.
  // An adapter still ready for blocks has not taken the end command either.
  const StatusPoll verdict = PollStatus(port, timing, CMD_UPGRADE_STATUS);
  if (verdict.answered && verdict.ready && port.LastResponse()[0] == RSP_UPGRADE_STATUS &&
      port.LastResponse()[1] != UPGRADE_READY_4_BLOCK) {
    observer.OnDone(kPart);
    return {};
  }
  return {std::nullopt,
          Fail(observer,
               {kPart, TransferStep::kStatus, {}, AnswerOf(port, verdict.answered), bytesSent})};
}

}  // namespace kr35
