// The simulated adapter behind a CommandPort in virtual time, on one thread:
// the exchange writes a frame, the adapter answers it as the simulated HID
// device does (the same AdapterWire), and waiting only moves a VirtualClock. It
// follows the HID channel's rules: the response event is cleared before each
// write, every arriving response overwrites the latch, and an attempt takes
// whatever the latch holds when the first response after its write arrives.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "protocol/command_port.h"
#include "protocol/timing.h"
#include "protocol/virtual_clock.h"
#include "sim/adapter_model.h"
#include "sim/adapter_wire.h"
#include "sim/hid_settings.h"

namespace kr35 {

// One frame the host tried to write, as the output report carries it.
struct WireFrame {
  std::vector<std::uint8_t> bytes;  // the command array (min(62, length - 1) bytes)
  bool written = false;             // false: the write failed
  std::chrono::nanoseconds at{0};
};

class VirtualAdapterPort final : public CommandPort {
 public:
  VirtualAdapterPort(AdapterModel& model, const HidSettings& hid, const Timing& timing);

  bool ExchangeOnce(const CommandFrame& frame, std::string& text) override;
  const ResponseFrame& LastResponse() const override { return last_; }
  std::uint16_t OutputReportByteLength() const override;
  Clock& GetClock() override { return clock_; }

  const std::vector<WireFrame>& Wire() const { return frames_; }
  // True once an accepted CMD_USB_FINISH made the adapter restart.
  bool Restarted() const { return restarted_; }
  std::chrono::nanoseconds Now() { return clock_.Now(); }

 private:
  struct Pending {
    std::chrono::nanoseconds due;
    ResponseFrame frame;
  };

  bool Write(const CommandFrame& frame);
  void Schedule(std::chrono::nanoseconds due, const ResponseFrame& frame);
  // Responses that have arrived by `time` go into the latch, in order.
  void Deliver(std::chrono::nanoseconds time);
  void FireEvents();
  void GoAway();
  bool Gone();

  AdapterWire wire_;
  const HidSettings& hid_;
  Timing timing_;
  VirtualClock clock_;
  std::vector<Pending> pending_;  // by due time; equal times in sending order
  ResponseFrame latch_{};
  ResponseFrame last_{};
  std::vector<WireFrame> frames_;  // every frame the host tried to write
  bool gone_ = false;
  bool restarted_ = false;
  std::chrono::nanoseconds goneAt_ = std::chrono::nanoseconds::max();
};

}  // namespace kr35
