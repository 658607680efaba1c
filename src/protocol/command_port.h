// What the command exchange and the firmware transfers need of the open
// adapter connection. HidChannel provides it; tests use doubles.
#pragma once

#include <cstdint>
#include <string>

#include "protocol/clock.h"
#include "protocol/frames.h"

namespace kr35 {

class CommandPort {
 public:
  virtual ~CommandPort() = default;
  // One attempt: write the frame, wait for a response, take it and decode it
  // into `text`. True when a response was taken and accepted.
  virtual bool ExchangeOnce(const CommandFrame& frame, std::string& text) = 0;
  // The latest response taken; all zero before the first one.
  virtual const ResponseFrame& LastResponse() const = 0;
  // Byte length of the adapter's output report, report-id byte included.
  virtual std::uint16_t OutputReportByteLength() const = 0;
  // The clock its waits run on; the exchange's pauses use it too.
  virtual Clock& GetClock() { return RealClock(); }
};

}  // namespace kr35
