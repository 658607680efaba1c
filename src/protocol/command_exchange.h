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

// Sends the query form of `code` once through SendCommand and judges byte 1 of
// the last response: false for UPGRADE_BUSY and UPGRADE_CHECKSUM_BAD.
bool PollUpgradeStatus(CommandPort& port, const Timing& timing, std::uint8_t code);

}  // namespace kr35
