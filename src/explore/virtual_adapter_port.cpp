#include "explore/virtual_adapter_port.h"

#include <algorithm>

namespace kr35 {
namespace {

// After an accepted CMD_USB_FINISH the adapter restarts this long after its
// answer is out, as the simulated HID device does.
constexpr auto kRestartGrace = std::chrono::milliseconds(50);

std::chrono::nanoseconds Ms(double ms) {
  return std::chrono::nanoseconds(static_cast<std::int64_t>(ms * 1e6));
}

}  // namespace

VirtualAdapterPort::VirtualAdapterPort(AdapterModel& model, const HidSettings& hid,
                                       const Timing& timing)
    : model_(model), hid_(hid), timing_(timing) {}

std::uint16_t VirtualAdapterPort::OutputReportByteLength() const {
  return static_cast<std::uint16_t>(hid_.outputReportLength);
}

bool VirtualAdapterPort::ExchangeOnce(const CommandFrame& frame, std::string& text) {
  text.clear();
  // The reader latched whatever arrived meanwhile; the write clears the event.
  Deliver(clock_.Now());
  if (!Write(frame)) return false;

  const auto deadline = clock_.Now() + timing_.responseWait;
  if (pending_.empty() || pending_.front().due > deadline || pending_.front().due >= goneAt_) {
    clock_.AdvanceTo(deadline);
    Gone();
    return false;
  }
  clock_.AdvanceTo(pending_.front().due);
  Deliver(clock_.Now());
  last_ = latch_;
  return DecodeResponse(last_, text);
}

bool VirtualAdapterPort::Write(const CommandFrame& frame) {
  const std::size_t length = std::min<std::size_t>(
      kMaxCommandFrameLength, static_cast<std::size_t>(std::max(hid_.outputReportLength - 1, 0)));
  WireFrame& sent = wire_.emplace_back();
  sent.bytes.assign(frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(length));
  sent.at = clock_.Now();
  if (Gone() || !hid_.writeOpens) return false;
  ++writes_;
  if (hid_.failWriteFrom > 0 && writes_ >= hid_.failWriteFrom &&
      (hid_.failWriteTimes == kAlways || writes_ - hid_.failWriteFrom < hid_.failWriteTimes)) {
    return false;
  }
  sent.written = true;

  const std::vector<ResponseFrame> responses = model_.Handle(sent.bytes);
  const auto due = clock_.Now() + Ms(2 * hid_.latencyMs + model_.LastAnswerDelayMs());
  for (const ResponseFrame& response : responses) Schedule(due, response);
  FireEvents();
  if (model_.RestartRequested()) {
    model_.ClearRestartRequest();
    restarted_ = true;
    goneAt_ = std::min(goneAt_, due + Ms(hid_.latencyMs) + kRestartGrace);
  }
  return true;
}

void VirtualAdapterPort::Schedule(std::chrono::nanoseconds due, const ResponseFrame& frame) {
  const auto at = std::upper_bound(pending_.begin(), pending_.end(), due,
                                   [](auto t, const Pending& p) { return t < p.due; });
  pending_.insert(at, Pending{due, frame});
}

void VirtualAdapterPort::Deliver(std::chrono::nanoseconds time) {
  auto it = pending_.begin();
  for (; it != pending_.end() && it->due <= time && it->due < goneAt_; ++it) latch_ = it->frame;
  pending_.erase(pending_.begin(), it);
}

void VirtualAdapterPort::FireEvents() {
  for (const HidEvent& event : hid_.events) {
    if (event.at.afterCommand <= 0 ||
        static_cast<std::size_t>(event.at.afterCommand) != model_.CommandCount()) {
      continue;
    }
    if (event.kind == HidEvent::Kind::kUnplug) {
      // The open handles stay dead even when the adapter comes back.
      goneAt_ = std::min(goneAt_, clock_.Now());
      GoAway();
    } else if (event.kind == HidEvent::Kind::kResponse) {
      ResponseFrame frame{};
      std::copy_n(event.bytes.begin(), std::min(event.bytes.size(), frame.size()), frame.begin());
      Schedule(clock_.Now() + Ms(hid_.latencyMs), frame);
    }
  }
}

void VirtualAdapterPort::GoAway() {
  if (gone_) return;
  gone_ = true;
  pending_.clear();
}

bool VirtualAdapterPort::Gone() {
  if (!gone_ && clock_.Now() >= goneAt_) GoAway();
  return gone_;
}

}  // namespace kr35
