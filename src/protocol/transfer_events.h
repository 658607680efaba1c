// What a firmware transfer reports while it runs, as values: the front-ends
// turn them into texts, progress bars, JSON or a history, each in its own way.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "protocol/frames.h"

namespace kr35 {

enum class TransferPart { kDsp, kUsb };
const char* TransferPartName(TransferPart part);  // "DSP" or "USB"

// The command of a transfer at which it failed.
enum class TransferStep { kStart, kReady, kBlock, kEnd, kStatus, kImage };
const char* TransferStepName(TransferStep step);  // "start", "ready", "block", ...

// Why a part was not sent at all (nothing of it reached the adapter).
enum class RefusalReason {
  kReportTooShortForUsb,     // the output report cannot carry a USB block frame
  kReportLengthUnsupported,  // the output report gives no DSP block size
  kImageTooLarge,            // more blocks than a start command can announce
  kImageInvalid,             // the image has no header
  kImageEmpty,               // the file held nothing to convert
  kInputUnreadable,          // the file could not be read
  kNotConfirmed,             // the user did not confirm the download
};
const char* RefusalReasonName(RefusalReason reason);  // a short phrase

struct TransferProgress {
  TransferPart part;
  std::size_t blocksDone;   // blocks the adapter accepted so far
  std::size_t blocks;       // blocks of the image
  std::uint32_t bytesSent;  // bytes of the blocks accepted before this one
  int percent;              // as the progress text shows it
};

// The DSP part waits for the adapter to be ready for blocks.
struct TransferWait {
  TransferPart part;
  enum class For { kReadyForBlocks } what;
  std::chrono::nanoseconds since;  // on the port's clock
};

struct TransferRefusal {
  TransferPart part;
  RefusalReason reason;
  std::size_t value = 0;  // the report length, or the image's payload length
};

struct TransferFailure {
  TransferPart part;
  TransferStep step;
  std::optional<std::size_t> block;     // the k-th block, counted from 1
  std::optional<ResponseFrame> answer;  // none when no attempt got one
  std::uint32_t bytesWritten = 0;       // bytes of the blocks accepted before
};

// How one part's transfer ended: accepted, refused before its first frame,
// failed, or stopped on request between two blocks (`failure` says where).
struct TransferResult {
  std::optional<TransferRefusal> refusal;
  std::optional<TransferFailure> failure;
  bool interrupted = false;
  bool Succeeded() const { return !refusal && !failure; }
};

// Told of each event as it happens, on the thread that runs the transfer.
class TransferObserver {
 public:
  virtual ~TransferObserver() = default;
  virtual void OnRefused(const TransferRefusal& /*refusal*/) {}
  virtual void OnWait(const TransferWait& /*wait*/) {}
  virtual void OnProgress(const TransferProgress& /*progress*/) {}
  // A step failed. A refused USB block is followed by the end command all the
  // same, whose answer alone decides the USB part.
  virtual void OnFailed(const TransferFailure& /*failure*/) {}
  // The part was accepted (for USB, after the finish command and its pause).
  virtual void OnDone(TransferPart /*part*/) {}
  // Asked before each block: true stops the transfer there, without the end command.
  virtual bool StopRequested() { return false; }
};

}  // namespace kr35
