// The shipped waits, in real time, against an adapter that never answers.
// These take about 7 s; filter them out with --gtest_filter=-RealTime*.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "hid/fake_hid_backend.h"
#include "hid/hid_channel.h"
#include "hid/hid_channel_test_support.h"
#include "protocol/command_exchange.h"

namespace kr35::test {
namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

class RealTimeExchange : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(channel_.FindAdapter(), 1);
    ASSERT_TRUE(backend_.WaitForReaderIdle());
  }
  FakeHidBackend backend_{{AdapterDevice()}};
  HidChannel channel_{backend_};  // the shipped timing
};

TEST_F(RealTimeExchange, SilentAdapterAttemptWaitsTwoSeconds) {
  std::string text;
  const auto start = Clock::now();
  EXPECT_FALSE(channel_.ExchangeOnce(MakeQueryFrame(CMD_VERSIONS), text));
  const double elapsed = MillisecondsSince(start);
  EXPECT_GE(elapsed, 1900);
  EXPECT_LE(elapsed, 3000);
}

TEST_F(RealTimeExchange, TwoAttemptsWaitTwiceWithOnePauseBetween) {
  Timing timing;  // shipped waits and pause, two attempts instead of ten
  timing.attempts = 2;
  std::string text = "stale";
  const auto start = Clock::now();
  EXPECT_FALSE(SendCommand(channel_, timing, MakeQueryFrame(CMD_VERSIONS), text));
  const double elapsed = MillisecondsSince(start);
  EXPECT_GE(elapsed, 4900);  // 2000 + 1000 + 2000
  EXPECT_LE(elapsed, 6500);
  EXPECT_EQ(text, "");
  EXPECT_EQ(backend_.Writes().size(), 2u);
}

}  // namespace
}  // namespace kr35::test
