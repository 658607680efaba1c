#include "app/keep_alive_clock.h"

#include <algorithm>
#include <utility>

namespace kr35 {

KeepAliveClock::KeepAliveClock(std::function<void()> turn, std::chrono::milliseconds slice,
                               Clock& base)
    : turn_(std::move(turn)), slice_(std::max(slice, std::chrono::milliseconds{1})), base_(base) {}

void KeepAliveClock::ResetLongestGap() {
  lastTurn_.reset();
  longestGap_ = std::chrono::nanoseconds{0};
}

void KeepAliveClock::TakeTurn() {
  if (lastTurn_) longestGap_ = std::max(longestGap_, Now() - *lastTurn_);
  if (turn_) turn_();
  lastTurn_ = Now();
}

// Whole milliseconds left until `deadline`, rounded up so that a remainder
// below one millisecond is still waited for instead of spun on.
std::chrono::milliseconds KeepAliveClock::Remaining(std::chrono::nanoseconds deadline) {
  const std::chrono::nanoseconds left = deadline - Now();
  if (left <= std::chrono::nanoseconds{0}) return std::chrono::milliseconds{0};
  return std::chrono::ceil<std::chrono::milliseconds>(left);
}

void KeepAliveClock::SleepFor(std::chrono::milliseconds duration) {
  const std::chrono::nanoseconds deadline = Now() + PauseLength(duration);
  for (;;) {
    TakeTurn();
    const std::chrono::milliseconds left = Remaining(deadline);
    if (left.count() == 0) return;
    base_.SleepFor(std::min(slice_, left));
  }
}

bool KeepAliveClock::WaitFor(Waitable& event, std::chrono::milliseconds timeout) {
  const std::chrono::nanoseconds deadline = Now() + WaitLimit(timeout);
  for (;;) {
    TakeTurn();
    const std::chrono::milliseconds left = Remaining(deadline);
    const std::chrono::milliseconds slice = std::min(slice_, left);
    if (base_.WaitFor(event, slice)) return true;
    if (slice == left) return false;  // that slice reached the deadline
  }
}

}  // namespace kr35
