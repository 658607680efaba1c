#include "protocol/transfer_events.h"

namespace kr35 {

// Each table follows its enumeration's order.

const char* TransferPartName(TransferPart part) {
  return part == TransferPart::kDsp ? "DSP" : "USB";
}

const char* TransferStepName(TransferStep step) {
  static constexpr const char* kNames[] = {"start", "ready", "block", "end", "status", "image"};
  return kNames[static_cast<int>(step)];
}

const char* RefusalReasonName(RefusalReason reason) {
  static constexpr const char* kNames[] = {
      "the output report cannot carry a USB block frame",
      "the output report length is not supported",
      "the image is too large",
      "the image is invalid",
      "the file is empty",
      "the file cannot be read",
      "the download was not confirmed",
  };
  return kNames[static_cast<int>(reason)];
}

}  // namespace kr35
