#include "record/replay_script.h"

#include <algorithm>

#include "hid/hex_bytes.h"

namespace kr35 {
namespace {

// What in the program's set-up may explain an output report that differs
// from the recorded one; empty when nothing points to the set-up.
std::string SetUpHintFor(const RecordedWrite& recorded, std::span<const std::uint8_t> written,
                         bool samePath, std::size_t number) {
  if (!samePath) {
    return "the program wrote to another interface than the recorded one: was a --device "
           "given in one run and not in the other, or another adapter chosen?";
  }
  if (written.size() != recorded.report.size()) {
    return "the output report is " + std::to_string(written.size()) + " bytes long, " +
           std::to_string(recorded.report.size()) +
           " when recorded: the adapter's report length differs from the recording's";
  }
  // Byte 0 is the report id, byte 1 the command's code.
  const bool otherCommand = written.size() > 1 && written[1] != recorded.report[1];
  if (number == 1 && otherCommand) {
    return "the first command differs: was the recording made with another command?";
  }
  if (otherCommand) {
    return "the program sent another command than the recorded one here: was it given "
           "another command, other files or other options than when recorded?";
  }
  return {};
}

}  // namespace

const RecordedWrite* ReplayScript::Write(std::span<const std::uint8_t> report,
                                         const std::string* path) {
  if (phase_ != Phase::kRunning) return nullptr;
  const std::size_t number = next_ + 1;  // the program's output reports count from 1
  if (AllWritten()) {
    phase_ = Phase::kEnded;
    diagnosis_ = "the recording ends before output report " + std::to_string(number) +
                 ": the adapter is gone from then on";
    if (number > 1) {
      setUpHint_ = "the program went on past the recording's " + std::to_string(next_) +
                   " output reports: was it recorded with another command, or other files?";
    }
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
    setUpHint_ = SetUpHintFor(recorded, report, samePath, number);
    return nullptr;
  }
  ++next_;
  return &recorded;
}

void ReplayScript::Depart(std::string diagnosis) {
  if (phase_ != Phase::kRunning) return;
  phase_ = Phase::kDiverged;
  diagnosis_ = std::move(diagnosis);
}

std::chrono::microseconds ReplayDelay(std::int64_t anchorUs, const RecordedDeviceEvent& event,
                                      bool maxSpeed) {
  if (maxSpeed) return std::chrono::microseconds(0);
  return std::chrono::microseconds(std::max<std::int64_t>(0, event.tUs - anchorUs));
}

}  // namespace kr35
