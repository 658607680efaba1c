// Sending one command with its retries, and the upgrade-status check.
#pragma once

#include <string>

#include "protocol/command_port.h"
#include "protocol/timing.h"

namespace kr35 {

// Up to timing.attempts attempts, timing.retryPause apart. True on the first
// accepted response; `text` describes the last attempt (empty when it got no
// response).
bool SendCommand(CommandPort& port, const Timing& timing, const CommandFrame& frame,
                 std::string& text);

struct StatusPoll {
  bool answered;  // SendCommand took an accepted answer to the query
  bool ready;     // byte 1 of the last response is neither busy nor checksum-bad
};

// Sends the query form of `code` once through SendCommand and judges byte 1 of
// the last response (the previous answer's when the query went unanswered).
StatusPoll PollStatus(CommandPort& port, const Timing& timing, std::uint8_t code);
// PollStatus(...).ready: false for UPGRADE_BUSY and UPGRADE_CHECKSUM_BAD.
bool PollUpgradeStatus(CommandPort& port, const Timing& timing, std::uint8_t code);

}  // namespace kr35
