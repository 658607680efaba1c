// The waits and pauses of the command exchange, in one injectable set so that
// tests can shorten them. The defaults are the shipped values.
#pragma once

#include <chrono>

namespace kr35 {

struct Timing {
  std::chrono::milliseconds responseWait{2000};  // one attempt waits this long for an answer
  std::chrono::milliseconds retryPause{1000};    // before each attempt after the first
  int attempts = 10;                             // attempts per command
  std::chrono::milliseconds readSlice{1000};     // the reader's wait for input, per pass
  std::chrono::milliseconds finishPause{50};     // after CMD_USB_FINISH
  // The DSP transfer stops asking for a ready status this long after its
  // CMD_DSP_START was accepted (a poll under way still completes).
  std::chrono::milliseconds statusWaitLimit{60000};
  // How long an exchange waits for another program to release the adapter.
  std::chrono::milliseconds claimWait{5000};
};

}  // namespace kr35
