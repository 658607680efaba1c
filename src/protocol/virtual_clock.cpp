#include "protocol/virtual_clock.h"

namespace kr35 {

bool VirtualClock::WaitFor(Waitable& event, std::chrono::milliseconds timeout) {
  if (event.Wait(std::chrono::milliseconds::zero())) return true;
  Advance(timeout);
  return false;
}

}  // namespace kr35
