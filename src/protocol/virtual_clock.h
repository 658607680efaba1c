// A clock that only moves when told to: sleeping and waiting advance it at
// once, so the exchange runs in virtual time on one thread (the fault
// explorer, tests).
#pragma once

#include "protocol/clock.h"

namespace kr35 {

class VirtualClock final : public Clock {
 public:
  std::chrono::nanoseconds Now() override { return now_; }
  void SleepFor(std::chrono::milliseconds duration) override { Advance(duration); }
  // Nothing else runs meanwhile: the event is either set already or stays
  // unset for the whole timeout, which then passes at once.
  bool WaitFor(Waitable& event, std::chrono::milliseconds timeout) override;

  void Advance(std::chrono::nanoseconds duration) {
    if (duration > std::chrono::nanoseconds::zero()) now_ += duration;
  }
  void AdvanceTo(std::chrono::nanoseconds time) {
    if (time > now_) now_ = time;
  }

 private:
  std::chrono::nanoseconds now_{0};
};

}  // namespace kr35
