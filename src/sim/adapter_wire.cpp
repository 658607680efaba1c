#include "sim/adapter_wire.h"

namespace kr35 {
namespace {

// The adapter restarts this long after its answer to CMD_USB_FINISH is out,
// so that a reader has time to take the answer first.
constexpr auto kRestartGrace = std::chrono::milliseconds(50);

}  // namespace

std::chrono::nanoseconds WireTime(double ms) {
  return std::chrono::nanoseconds(static_cast<std::int64_t>(ms * 1e6));
}

bool AdapterWire::WriteFails() {
  ++writes_;
  if (hid_.failWriteFrom <= 0 || writes_ < hid_.failWriteFrom) return false;
  return hid_.failWriteTimes == kAlways || writes_ - hid_.failWriteFrom < hid_.failWriteTimes;
}

AdapterWire::Answer AdapterWire::Take(std::span<const std::uint8_t> frame) {
  Answer answer;
  answer.frames = model_.Handle(frame);
  // A report takes the latency each way: the command in, the answer out.
  answer.after = WireTime(2 * hid_.latencyMs + model_.LastAnswerDelayMs());
  if (model_.RestartRequested()) {
    model_.ClearRestartRequest();
    answer.restartAfter = answer.after + Latency() + kRestartGrace;
  }
  return answer;
}

std::vector<const HidEvent*> AdapterWire::EventsAfterCommand() const {
  std::vector<const HidEvent*> due;
  for (const HidEvent& event : hid_.events) {
    if (event.at.afterCommand > 0 &&
        static_cast<std::size_t>(event.at.afterCommand) == model_.CommandCount()) {
      due.push_back(&event);
    }
  }
  return due;
}

std::size_t AdapterWire::CommandLength() const {
  return static_cast<std::size_t>(SimCommandArrayLength(hid_.outputReportLength));
}

}  // namespace kr35
