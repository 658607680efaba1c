// The port an exchange runs on while another program holds the adapter: it
// sends nothing and every attempt ends at once unanswered, so the exchange
// and the transfers end with the texts of an adapter that does not answer,
// without their waits.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "protocol/command_port.h"

namespace kr35 {

// Skips every pause and wait, counting them into its time so that a loop
// that waits until a moment still ends.
class SkippingClock final : public Clock {
 public:
  std::chrono::nanoseconds Now() override { return RealClock().Now() + skipped_; }
  void SleepFor(std::chrono::milliseconds duration) override { skipped_ += duration; }
  bool WaitFor(Waitable&, std::chrono::milliseconds timeout) override {
    skipped_ += timeout;
    return false;
  }
  std::chrono::milliseconds PauseLength(std::chrono::milliseconds) override { return {}; }
  std::chrono::milliseconds WaitLimit(std::chrono::milliseconds) override { return {}; }

 private:
  std::chrono::nanoseconds skipped_{};
};

class SilentPort final : public CommandPort {
 public:
  // `outputLength` is the adapter's, so that the transfers get as far as their first frame.
  explicit SilentPort(std::uint16_t outputLength) : outputLength_(outputLength) {}
  bool ExchangeOnce(const CommandFrame&, std::string& text) override {
    text.clear();  // as the channel leaves it after an attempt without an answer
    return false;
  }
  const ResponseFrame& LastResponse() const override { return noResponse_; }
  std::uint16_t OutputReportByteLength() const override { return outputLength_; }
  Clock& GetClock() override { return clock_; }

 private:
  std::uint16_t outputLength_;
  ResponseFrame noResponse_{};
  SkippingClock clock_;
};

}  // namespace kr35
