#include "record/replay_script.h"

#include <algorithm>

#include "hid/hex_bytes.h"

namespace kr35 {

const RecordedWrite* ReplayScript::Write(std::span<const std::uint8_t> report,
                                         const std::string* path) {
  if (phase_ != Phase::kRunning) return nullptr;
  const std::size_t number = next_ + 1;  // the program's output reports count from 1
  if (AllWritten()) {
    phase_ = Phase::kEnded;
    diagnosis_ = "the recording ends before output report " + std::to_string(number) +
                 ": the adapter is gone from then on";
    return nullptr;
  }
  const RecordedWrite& recorded = recording_.writes[next_];
  const bool samePath = path == nullptr || *path == recorded.path;
  if (!samePath ||
      !std::equal(report.begin(), report.end(), recorded.report.begin(), recorded.report.end())) {
    phase_ = Phase::kDiverged;
    diagnosis_ = "output report " + std::to_string(number) + " differs from the recording" +
                 "\n  recorded: " + ToHex(recorded.report) + "\n  written:  " + ToHex(report);
    if (!samePath) diagnosis_ += "\n  recorded to " + recorded.path + ", written to " + *path;
    return nullptr;
  }
  ++next_;
  return &recorded;
}

std::chrono::microseconds ReplayDelay(std::int64_t anchorUs, const RecordedDeviceEvent& event,
                                      bool maxSpeed) {
  if (maxSpeed) return std::chrono::microseconds(0);
  return std::chrono::microseconds(std::max<std::int64_t>(0, event.tUs - anchorUs));
}

}  // namespace kr35
