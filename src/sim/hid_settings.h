// The HID side of a scenario: the simulated adapter's identity, report
// layout, timing, and the device-level faults and events it shows.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "protocol/frames.h"

namespace kr35 {

// A count meaning "no limit": "times": "always", "busy_polls": "forever".
inline constexpr int kAlways = -1;

// A HID device listed beside the adapter that is not the adapter.
struct OtherHidDevice {
  std::uint16_t vendorId = 0x046D;
  std::uint16_t productId = 0xC52B;
  std::optional<std::string> manufacturer = "Other Maker";  // nullopt: unreadable
  std::optional<std::string> product = "Other HID Device";  // nullopt: unreadable
};

// When an event happens: after the adapter has received its k-th command
// (1-based, counted over the whole run), or at a time after the adapter was
// first opened for reading.
struct EventMoment {
  int afterCommand = 0;  // > 0 when used
  double atMs = -1;      // >= 0 when used
};

struct HidEvent {
  enum class Kind { kButton, kReport, kResponse, kUnplug, kReplug };
  EventMoment at;
  Kind kind = Kind::kButton;
  // kButton: byte 1 of input report 1 and the consumer usages that are on.
  std::uint8_t buttonCode = 0;
  std::vector<std::uint16_t> usages;
  // kReport: a whole input report (byte 0 is its id); kResponse: a response frame.
  std::vector<std::uint8_t> bytes;
  // kUnplug: comes back after this long; negative = stays away.
  double replugAfterMs = -1;
  // The adapter it happens on (0-based index, the first by default).
  int adapter = 0;

  // kResponse: the frame it sends.
  ResponseFrame Response() const {
    ResponseFrame frame{};
    std::copy_n(bytes.begin(), std::min(bytes.size(), frame.size()), frame.begin());
    return frame;
  }
};

struct HidSettings {
  // Identity.
  bool adapterPresent = true;
  int adapterCount = 1;
  std::uint16_t vendorId = 0x3C1F;
  std::uint16_t productId = 0x5E35;
  std::uint16_t versionNumber = 0x0100;
  std::optional<std::string> manufacturer = "Simulated";  // nullopt: unreadable
  std::optional<std::string> product = "KR35 Headset Adapter (simulated)";
  std::optional<std::string> serial;          // nullopt: the adapter gives none
  std::vector<OtherHidDevice> devicesBefore;  // listed ahead of the adapter

  // Report layout: output report byte length (report id included; the command
  // array takes min(62, length - 1) bytes of it) and the response array length.
  int outputReportLength = 64;
  int responseLength = 5;

  // Timing.
  double latencyMs = 1;    // each way, per report
  double restartMs = 300;  // away after CMD_USB_FINISH, before it comes back

  // Write faults.
  bool writeOpens = true;
  int failWriteFrom = 0;   // 1-based write number; 0 = none
  int failWriteTimes = 1;  // or kAlways

  std::vector<HidEvent> events;
};

// Bytes of the command array in an output report of `outputReportLength`
// bytes: min(62, length - 1). The rest of the report is one filler array.
inline int SimCommandArrayLength(int outputReportLength) {
  return std::clamp(outputReportLength - 1, 1, static_cast<int>(kMaxCommandFrameLength));
}

}  // namespace kr35
