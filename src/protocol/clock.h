// Where the command exchange takes its time from. The programs use the real
// clock; the fault explorer runs the exchange in virtual time on one thread;
// a dialog host may wait in short slices and keep its window alive between them.
#pragma once

#include <chrono>

namespace kr35 {

// Something a clock can wait for: the channel's response event.
class Waitable {
 public:
  virtual ~Waitable() = default;
  // Waits at most `timeout`; true (and cleared) when it was set.
  virtual bool Wait(std::chrono::milliseconds timeout) = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  // Monotonic time since an arbitrary start.
  virtual std::chrono::nanoseconds Now() = 0;
  virtual void SleepFor(std::chrono::milliseconds duration) = 0;
  // Waits at most `timeout` for `event`; true (and cleared) when it was set.
  virtual bool WaitFor(Waitable& event, std::chrono::milliseconds timeout) = 0;

  // How long SleepFor(duration) pauses: a clock may skip pauses.
  virtual std::chrono::milliseconds PauseLength(std::chrono::milliseconds duration) {
    return duration;
  }
  // How long WaitFor(event, timeout) waits at most: a clock may give up
  // early on an answer that cannot come.
  virtual std::chrono::milliseconds WaitLimit(std::chrono::milliseconds timeout) { return timeout; }
};

// The steady clock and real sleeping; shared, stateless.
Clock& RealClock();

}  // namespace kr35
