#include "hid/hidraw/report_framing.h"

namespace kr35 {

std::span<std::uint8_t> InputReadTarget(std::span<std::uint8_t> buffer, bool usesReportIds) {
  if (usesReportIds || buffer.empty()) {
    return buffer;
  }
  return buffer.subspan(1);
}

std::size_t FinishInputReport(std::span<std::uint8_t> buffer, bool usesReportIds,
                              std::size_t bytesRead) {
  if (usesReportIds || buffer.empty()) {
    return bytesRead;
  }
  buffer[0] = 0;
  return bytesRead + 1;
}

}  // namespace kr35
