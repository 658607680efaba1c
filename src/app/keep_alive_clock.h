// A clock for the dialog thread of a window host: it waits in short slices
// and takes a turn of the window's event handling between them, so that the
// window keeps painting and answering the window manager while a command
// exchange, a transfer or the pause between attempts holds the dialog thread.
#pragma once

#include <chrono>
#include <functional>
#include <optional>

#include "protocol/clock.h"

namespace kr35 {

// Short enough that the window answers within a frame or two of a paint
// request; long enough that the turns cost nothing measurable.
inline constexpr std::chrono::milliseconds kKeepAliveSlice{10};

class KeepAliveClock final : public Clock {
 public:
  // `turn` handles the window's pending events once, without user input; it
  // runs on the thread that waits. The waits are as long as `base`
  // would make them (a replay skips pauses and gives up on answers that
  // cannot come), in slices on `base`.
  explicit KeepAliveClock(std::function<void()> turn,
                          std::chrono::milliseconds slice = kKeepAliveSlice,
                          Clock& base = RealClock());

  std::chrono::nanoseconds Now() override { return base_.Now(); }
  void SleepFor(std::chrono::milliseconds duration) override;
  bool WaitFor(Waitable& event, std::chrono::milliseconds timeout) override;
  std::chrono::milliseconds PauseLength(std::chrono::milliseconds duration) override {
    return base_.PauseLength(duration);
  }
  std::chrono::milliseconds WaitLimit(std::chrono::milliseconds timeout) override {
    return base_.WaitLimit(timeout);
  }

  // The longest time between two turns since the last ResetLongestGap (or
  // since construction): how long the window went without its events while
  // the dialog thread was busy.
  std::chrono::nanoseconds LongestGap() const { return longestGap_; }
  void ResetLongestGap();

 private:
  void TakeTurn();
  std::chrono::milliseconds Remaining(std::chrono::nanoseconds deadline);

  std::function<void()> turn_;
  std::chrono::milliseconds slice_;
  Clock& base_;
  std::optional<std::chrono::nanoseconds> lastTurn_;  // none before the first turn
  std::chrono::nanoseconds longestGap_{0};
};

}  // namespace kr35
