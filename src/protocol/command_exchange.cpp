#include "protocol/command_exchange.h"

namespace kr35 {

bool SendCommand(CommandPort& port, const Timing& timing, const CommandFrame& frame,
                 std::string& text) {
  text.clear();
  if (port.ExchangeOnce(frame, text)) return true;
  for (int attempt = 1; attempt < timing.attempts; ++attempt) {
    port.GetClock().SleepFor(timing.retryPause);
    if (port.ExchangeOnce(frame, text)) return true;
  }
  return false;
}

StatusPoll PollStatus(CommandPort& port, const Timing& timing, std::uint8_t code) {
  std::string ignored;
  const bool answered = SendCommand(port, timing, MakeQueryFrame(code), ignored);
  const std::uint8_t status = port.LastResponse()[1];
  return {answered, status != UPGRADE_BUSY && status != UPGRADE_CHECKSUM_BAD};
}

bool PollUpgradeStatus(CommandPort& port, const Timing& timing, std::uint8_t code) {
  return PollStatus(port, timing, code).ready;
}

}  // namespace kr35
