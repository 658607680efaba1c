#include "explore/virtual_adapter_port.h"

#include <algorithm>

namespace kr35 {

VirtualAdapterPort::VirtualAdapterPort(AdapterModel& model, const HidSettings& hid,
                                       const Timing& timing)
    : wire_(model, hid), hid_(hid), timing_(timing) {}

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
  const std::size_t length = wire_.CommandLength();
  WireFrame& sent = frames_.emplace_back();
  sent.bytes.assign(frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(length));
  sent.at = clock_.Now();
  if (Gone() || !hid_.writeOpens) return false;
  if (wire_.WriteFails()) return false;
  sent.written = true;

  const AdapterWire::Answer answer = wire_.Take(sent.bytes);
  for (const ResponseFrame& response : answer.frames)
    Schedule(clock_.Now() + answer.after, response);
  FireEvents();
  if (answer.restartAfter) {
    restarted_ = true;
    goneAt_ = std::min(goneAt_, clock_.Now() + *answer.restartAfter);
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
  for (const HidEvent* event : wire_.EventsAfterCommand()) {
    if (event->kind == HidEvent::Kind::kUnplug) {
      // The open handles stay dead even when the adapter comes back.
      goneAt_ = std::min(goneAt_, clock_.Now());
      GoAway();
    } else if (event->kind == HidEvent::Kind::kResponse) {
      Schedule(clock_.Now() + wire_.Latency(), event->Response());
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
