#include "adapter/download_plan.h"

#include "firmware/firmware_image.h"
#include "protocol/firmware_transfer.h"

namespace kr35 {
namespace {

DownloadOutcome RefusedOutcome(const TransferRefusal& refusal) {
  DownloadOutcome outcome;
  outcome.kind = Outcome::kRefused;
  outcome.part = refusal.part;
  outcome.reason = refusal.reason;
  return outcome;
}

// A part that could not start once frames of another part went out: the
// download as a whole has failed, at that part's image.
DownloadOutcome OutcomeOf(const TransferRefusal& refusal, bool framesSent) {
  DownloadOutcome outcome = RefusedOutcome(refusal);
  if (framesSent) {
    outcome.kind = Outcome::kFailed;
    outcome.step = TransferStep::kImage;
  }
  return outcome;
}

DownloadOutcome OutcomeOf(const TransferResult& result, bool framesSent) {
  if (result.refusal) return OutcomeOf(*result.refusal, framesSent);
  DownloadOutcome outcome;
  if (!result.failure) return outcome;
  outcome.kind = result.interrupted ? Outcome::kInterrupted : Outcome::kFailed;
  outcome.part = result.failure->part;
  outcome.step = result.failure->step;
  outcome.block = result.failure->block;
  outcome.answer = result.failure->answer;
  return outcome;
}

TransferResult Transfer(TransferPart part, CommandPort& port, const Timing& timing,
                        const FirmwareImage& image, DownloadObserver& observer) {
  return part == TransferPart::kDsp ? TransferDspFirmware(port, timing, image, observer)
                                    : TransferUsbFirmware(port, timing, image, observer);
}

}  // namespace

const char* OutcomeName(Outcome outcome) {
  // In the order of the enumeration.
  static constexpr const char* kNames[] = {"done", "refused", "failed", "interrupted", "gone"};
  return kNames[static_cast<int>(outcome)];
}

DownloadOutcome RunDownloadPlan(CommandPort& port, const Timing& timing, const DownloadPlan& plan,
                                DownloadObserver& observer) {
  if (plan.usb) {
    if (const auto refusal = CheckReportForUsb(port.OutputReportByteLength())) {
      observer.OnRefused(*refusal);
      return RefusedOutcome(*refusal);
    }
  }
  std::optional<DownloadOutcome> first;
  bool framesSent = false;
  for (const TransferPart part : kDownloadOrder) {
    const PartLoader& load = plan.Loader(part);
    if (!load) continue;
    observer.OnPartStarting(part);
    const PartImage image = load();
    TransferResult result;
    switch (image.status) {
      case PartImage::Status::kReady:
        result = Transfer(part, port, timing, FirmwareImage(image.bytes), observer);
        break;
      case PartImage::Status::kInvalid:
        result.refusal = TransferRefusal{part, RefusalReason::kImageInvalid, 0};
        observer.OnRefused(*result.refusal);
        break;
      case PartImage::Status::kEmpty:
        result.refusal = TransferRefusal{part, RefusalReason::kImageEmpty, 0};
        observer.OnRefused(*result.refusal);
        break;
      case PartImage::Status::kUnreadable:
        // The loader has told the user; nothing more of the plan runs.
        return OutcomeOf(TransferRefusal{part, RefusalReason::kInputUnreadable, 0}, framesSent);
    }
    observer.OnPartFinished(part, result);
    if (!first && !result.Succeeded()) first = OutcomeOf(result, framesSent);
    framesSent = framesSent || !result.refusal;
    if (result.interrupted) break;
    if (!result.Succeeded() && !plan.continueAfterFailure) break;
  }
  return first.value_or(DownloadOutcome{});
}

}  // namespace kr35
