// The keep-alive clock in virtual time: how often it hands the window a turn,
// and that its waits end when they should.
#include "app/keep_alive_clock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace kr35 {
namespace {

using namespace std::chrono_literals;

// Set at a fixed virtual time.
class Event final : public Waitable {
 public:
  explicit Event(std::chrono::milliseconds setAt) : setAt_(setAt) {}
  bool Wait(std::chrono::milliseconds) override { return false; }
  bool WaitUntil(std::chrono::nanoseconds& now, std::chrono::milliseconds timeout) {
    if (setAt_ <= now + timeout) {
      if (now < setAt_) now = setAt_;
      return true;
    }
    now += timeout;
    return false;
  }

 private:
  std::chrono::nanoseconds setAt_;
};

// Time moves only when someone sleeps or waits.
class VirtualClock final : public Clock {
 public:
  std::chrono::nanoseconds Now() override { return now; }
  void SleepFor(std::chrono::milliseconds duration) override { now += duration; }
  bool WaitFor(Waitable& event, std::chrono::milliseconds timeout) override {
    return static_cast<Event&>(event).WaitUntil(now, timeout);
  }
  std::chrono::nanoseconds now{0};
};

struct Recorded {
  VirtualClock base;
  std::vector<long long> turnsAt;  // virtual milliseconds
  KeepAliveClock clock{[this] { turnsAt.push_back(base.now / 1ms); }, 10ms, base};
};

TEST(KeepAliveClock, TakesATurnEverySliceAndKeepsTheDurations) {
  Recorded sleep;
  sleep.clock.SleepFor(35ms);
  EXPECT_EQ(sleep.base.now, 35ms);
  EXPECT_EQ(sleep.turnsAt, (std::vector<long long>{0, 10, 20, 30, 35}));

  Recorded timeout;
  Event never(1h);
  EXPECT_FALSE(timeout.clock.WaitFor(never, 25ms));
  EXPECT_EQ(timeout.base.now, 25ms);
  EXPECT_EQ(timeout.turnsAt, (std::vector<long long>{0, 10, 20}));

  Recorded answered;
  Event soon(15ms);
  EXPECT_TRUE(answered.clock.WaitFor(soon, 2000ms));
  EXPECT_EQ(answered.base.now, 15ms);
  EXPECT_EQ(answered.turnsAt, (std::vector<long long>{0, 10}));

  Recorded immediate;  // a zero wait still looks at the event once
  Event already(0ms);
  EXPECT_TRUE(immediate.clock.WaitFor(already, 0ms));
  EXPECT_FALSE(immediate.clock.WaitFor(never, 0ms));
  EXPECT_EQ(immediate.base.now, 0ms);
}

// A base that skips pauses and cuts waits short, as a replay at maximum
// speed and one that has nothing more to deliver do.
class HurriedClock final : public Clock {
 public:
  std::chrono::nanoseconds Now() override { return virtualTime.now; }
  void SleepFor(std::chrono::milliseconds duration) override {
    virtualTime.SleepFor(PauseLength(duration));
  }
  bool WaitFor(Waitable& event, std::chrono::milliseconds timeout) override {
    return virtualTime.WaitFor(event, WaitLimit(timeout));
  }
  std::chrono::milliseconds PauseLength(std::chrono::milliseconds) override { return 0ms; }
  std::chrono::milliseconds WaitLimit(std::chrono::milliseconds timeout) override {
    return std::min(timeout, 25ms);
  }
  VirtualClock virtualTime;
};

TEST(KeepAliveClock, WaitsAsLongAsItsBaseWould) {
  HurriedClock base;
  std::vector<long long> turnsAt;
  KeepAliveClock clock([&] { turnsAt.push_back(base.virtualTime.now / 1ms); }, 10ms, base);
  clock.SleepFor(1h);
  Event never(1h);
  EXPECT_FALSE(clock.WaitFor(never, 1h));
  EXPECT_EQ(base.virtualTime.now, 25ms);
  EXPECT_EQ(turnsAt, (std::vector<long long>{0, 0, 10, 20}));
}

TEST(KeepAliveClock, ReportsTheLongestTimeWithoutATurn) {
  Recorded recorded;
  recorded.clock.SleepFor(1ms);
  recorded.base.now = 500ms;  // the window's own loop ran meanwhile
  recorded.clock.ResetLongestGap();
  recorded.base.now += 70ms;  // before the first turn: not a gap between turns
  recorded.clock.SleepFor(4ms);
  recorded.base.now += 42ms;  // the handler works between two waits
  recorded.clock.SleepFor(30ms);
  EXPECT_EQ(recorded.clock.LongestGap(), 42ms);
}

}  // namespace
}  // namespace kr35
