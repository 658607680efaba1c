// Drawing a random scenario for the fault explorer from the simulator's own
// fault vocabulary: refusals, silence, late answers, busy and checksum-bad
// statuses, unsolicited responses, write failures, unplugs and report lengths.
#pragma once

#include <cstddef>
#include <random>

#include "sim/scenario.h"

namespace kr35 {

// The adapter the drawn faults apply to: payload sizes decide which block
// positions are worth aiming at.
struct DrawTarget {
  std::size_t dspPayload = 0;
  std::size_t usbPayload = 0;
};

// Every drawn fault is one an honest adapter can show: it never acknowledges
// what it did not do. Answers that the protocol reads as an acceptance or a
// good status (RSP_ACK, RSP_NAK_CMD's byte 1 of 1 read as
// UPGRADE_READY_4_BLOCK, RSP_NAK_BUSY's 3 read as UPGRADE_CHECKSUM_GOOD) are
// not drawn for status queries and unsolicited responses, and a CMD_DSP_END
// the adapter drops is answered with one the exchange rejects.
Scenario DrawScenario(std::mt19937_64& random, const DrawTarget& target);

}  // namespace kr35
