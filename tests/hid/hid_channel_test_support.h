// Shared pieces of the channel tests: adapter-like report descriptors with
// other layouts, report builders, and the recording dialog queue.
#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include "hid/recording_queue.h"
#include "protocol/timing.h"

namespace kr35::test {

// The adapter's layout with chosen sizes: output report 2 with an
// `commandLength`-byte command array and one more byte; input report 1 with
// the button code byte and either the three named buttons or eight buttons in
// one usage range (one button capability); input report 3 with one value
// array per entry of `responseLengths` (usages 4, 6, 7, ...).
inline std::vector<std::uint8_t> AdapterLikeDescriptor(std::uint8_t commandLength,
                                                       std::vector<std::uint8_t> responseLengths,
                                                       bool buttonRange = false) {
  std::vector<std::uint8_t> d = {
      0x06, 0x00, 0xFF, 0x09,          0x01, 0xA1, 0x01,        // vendor page, usage 1, application
      0x15, 0x00, 0x26, 0xFF,          0x00, 0x75, 0x08,        // logical 0..255, 8 bits
      0x85, 0x02, 0x95, commandLength, 0x09, 0x02, 0x91, 0x02,  // report 2: command array
      0x95, 0x01, 0x09, 0x03,          0x91, 0x02,              // one more output byte
      0x05, 0x0C, 0x09, 0x01,          0xA1, 0x02,              // consumer, logical collection
      0x85, 0x01, 0x95, 0x01,          0x0B, 0x05, 0x00, 0x00,
      0xFF, 0x81, 0x02,        // report 1: code byte
      0x25, 0x01, 0x75, 0x01,  // logical max 1, 1 bit
  };
  if (buttonRange) {
    d.insert(d.end(), {0x95, 0x08, 0x19, 0xE0, 0x29, 0xE7, 0x81, 0x02});
  } else {
    d.insert(d.end(), {0x95, 0x03, 0x09, 0xE2, 0x09, 0xE9, 0x09, 0xEA, 0x81, 0x02,  //
                       0x95, 0x05, 0x81, 0x03});
  }
  d.insert(d.end(), {0xC0, 0x06, 0x00, 0xFF, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x85, 0x03});
  std::uint8_t usage = 0x04;
  for (std::uint8_t length : responseLengths) {
    d.insert(d.end(), {0x95, length, 0x09, usage, 0x81, 0x02});
    usage = usage == 0x04 ? 0x06 : static_cast<std::uint8_t>(usage + 1);
  }
  d.push_back(0xC0);
  return d;
}

// Input report 1: the button code and the on-bits of the buttons (bit 0 =
// first button usage).
inline std::vector<std::uint8_t> ButtonReport(std::uint8_t code, std::uint8_t buttons = 0) {
  return {0x01, code, buttons};
}

// Input report 3 carrying `bytes` as its value arrays.
inline std::vector<std::uint8_t> ResponseReport(std::vector<std::uint8_t> bytes) {
  bytes.insert(bytes.begin(), 0x03);
  return bytes;
}

// Short waits for tests; the reader's slice stays long so that a test that
// depends on the reader being woken fails visibly when it is not.
inline Timing FastTiming() {
  Timing timing;
  timing.responseWait = std::chrono::milliseconds(2000);
  timing.retryPause = std::chrono::milliseconds(1);
  timing.attempts = 3;
  timing.readSlice = std::chrono::milliseconds(1000);
  return timing;
}

// For tests whose exchanges are meant to time out.
inline Timing ShortWaitTiming() {
  Timing timing = FastTiming();
  timing.responseWait = std::chrono::milliseconds(200);
  return timing;
}

}  // namespace kr35::test
