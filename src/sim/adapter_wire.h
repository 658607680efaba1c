// The simulated adapter at the far end of its wire: the one model that the
// simulated HID device (in real time) and the fault explorer's port (in
// virtual time) share. It says which writes the scenario makes fail, when
// the answers to a command arrive, which events a command sets off, and when
// an accepted CMD_USB_FINISH takes the adapter away to restart. Not
// synchronised: the owner serialises calls.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "sim/adapter_model.h"
#include "sim/hid_settings.h"

namespace kr35 {

// A scenario's milliseconds as a time on the wire.
std::chrono::nanoseconds WireTime(double ms);

class AdapterWire {
 public:
  // What the adapter does with one command frame written to it.
  struct Answer {
    std::vector<ResponseFrame> frames;  // in the order they are sent
    std::chrono::nanoseconds after{0};  // from the write until they are readable
    // From the write until the adapter goes away to restart on its new
    // firmware; nullopt when it stays.
    std::optional<std::chrono::nanoseconds> restartAfter;
  };

  AdapterWire(AdapterModel& model, const HidSettings& hid) : model_(model), hid_(hid) {}

  // Counts one write of a command frame; true when the scenario makes it fail.
  bool WriteFails();
  // The adapter takes a written command frame (the output report's command array).
  Answer Take(std::span<const std::uint8_t> frame);
  // The scenario's events set off by the command just taken, in order.
  std::vector<const HidEvent*> EventsAfterCommand() const;
  // How long a report the adapter sends of its own accord takes to arrive.
  std::chrono::nanoseconds Latency() const { return WireTime(hid_.latencyMs); }
  // Bytes of the command array in the output report: min(62, length - 1).
  std::size_t CommandLength() const;

 private:
  AdapterModel& model_;
  const HidSettings& hid_;
  int writes_ = 0;
};

}  // namespace kr35
