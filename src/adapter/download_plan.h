// A download of one or both firmware parts, in the adapter's order, and its
// typed outcome. Runs over any CommandPort: the adapter's channel, or the
// explorer's virtual port.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "protocol/command_port.h"
#include "protocol/frames.h"
#include "protocol/timing.h"
#include "protocol/transfer_events.h"

namespace kr35 {

// The parts go DSP first, then USB. Everything that handles both parts in turn
// (downloads, dump files, HEX inputs) takes the order from here.
inline constexpr std::array<TransferPart, 2> kDownloadOrder = {TransferPart::kDsp,
                                                               TransferPart::kUsb};

// One part's image, loaded just before its transfer.
struct PartImage {
  enum class Status {
    kReady,       // `bytes` holds header and payload
    kInvalid,     // no header: the part fails ("File invalid")
    kEmpty,       // nothing to send: the part fails without a word
    kUnreadable,  // the source could not be read: the whole download stops
  };
  Status status = Status::kReady;
  std::span<const std::uint8_t> bytes;  // kept alive by whoever made the loader
};
using PartLoader = std::function<PartImage()>;

// Where a part's image comes from, for the download history: built into the
// program, or an Intel HEX file (its path; its SHA-256 in hexadecimal, which
// the history computes from the file when empty). `image` is the image when
// it is known before the first frame (header facts go to the history).
struct ImageSource {
  bool builtIn = true;
  std::string path;
  std::string sha256;
  std::span<const std::uint8_t> image;
};

struct DownloadPlan {
  PartLoader dsp;  // empty: the part is not downloaded
  PartLoader usb;
  // False: the first part that fails ends the download. True: every part is
  // tried (the FULL dialog's way).
  bool continueAfterFailure = false;
  // Where each planned part's image comes from (read for the history only).
  ImageSource dspSource;
  ImageSource usbSource;
  // The versions read before the plan was made, over another opening of the
  // adapter (for the history, when the downloading one has read none).
  std::optional<InstalledVersions> versionsBefore;

  const PartLoader& Loader(TransferPart part) const {
    return part == TransferPart::kDsp ? dsp : usb;
  }
  const ImageSource& Source(TransferPart part) const {
    return part == TransferPart::kDsp ? dspSource : usbSource;
  }
  ImageSource& Source(TransferPart part) {
    return part == TransferPart::kDsp ? dspSource : usbSource;
  }
};

enum class Outcome { kDone, kRefused, kFailed, kInterrupted, kGone };
const char* OutcomeName(Outcome outcome);  // "done", "refused", "failed", "interrupted", "gone"

// How a download ended. Refused: nothing was sent (`reason` says why).
// Failed, interrupted, gone: `part`, `step`, `block` and the adapter's
// `answer` say where; `reason` is set when a part's image could not be had.
struct DownloadOutcome {
  Outcome kind = Outcome::kDone;
  std::optional<TransferPart> part;
  std::optional<TransferStep> step;
  std::optional<std::size_t> block;
  std::optional<ResponseFrame> answer;
  std::optional<RefusalReason> reason;
  std::string detail;  // more about the reason, e.g. the file and its error

  bool Done() const { return kind == Outcome::kDone; }
};

// Told of every transfer event, and of each part as it starts and ends.
class DownloadObserver : public TransferObserver {
 public:
  virtual void OnPartStarting(TransferPart /*part*/) {}
  virtual void OnPartFinished(TransferPart /*part*/, const TransferResult& /*result*/) {}
};

// Runs the plan. A plan that includes the USB part is refused before the first
// frame when the output report cannot carry a USB block frame. The outcome is
// that of the first part that did not succeed, or done.
DownloadOutcome RunDownloadPlan(CommandPort& port, const Timing& timing, const DownloadPlan& plan,
                                DownloadObserver& observer);

}  // namespace kr35
