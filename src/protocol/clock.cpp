#include "protocol/clock.h"

#include <thread>

namespace kr35 {
namespace {

class SteadyClock final : public Clock {
 public:
  std::chrono::nanoseconds Now() override {
    return std::chrono::steady_clock::now().time_since_epoch();
  }
  void SleepFor(std::chrono::milliseconds duration) override {
    std::this_thread::sleep_for(duration);
  }
  bool WaitFor(Waitable& event, std::chrono::milliseconds timeout) override {
    return event.Wait(timeout);
  }
};

}  // namespace

Clock& RealClock() {
  static SteadyClock clock;
  return clock;
}

}  // namespace kr35
