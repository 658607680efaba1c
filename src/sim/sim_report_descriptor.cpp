#include "sim/sim_report_descriptor.h"

#include <algorithm>

namespace kr35 {

std::vector<std::uint8_t> BuildSimReportDescriptor(const HidSettings& settings) {
  const auto byte = [](int value) { return static_cast<std::uint8_t>(value); };
  const int commandLength = SimCommandArrayLength(settings.outputReportLength);
  const int fillerLength = std::max(0, settings.outputReportLength - 1 - commandLength);
  std::vector<std::uint8_t> d = {
      0x05,
      0x0C,  // Usage Page (Consumer)
      0x09,
      0x01,  // Usage (Consumer Control)
      0xA1,
      0x01,  // Collection (Application)
      0x85,
      kSimButtonReportId,
      0x75,
      0x08,
      0x95,
      0x01,
      0x81,
      0x03,  // the button code byte: Input (Cnst,Var)
      0x15,
      0x00,
      0x25,
      0x01,
      0x75,
      0x01,
      0x95,
      0x03,
      0x09,
      kSimMuteUsage,
      0x09,
      kSimVolumeUpUsage,
      0x09,
      kSimVolumeDownUsage,
      0x81,
      0x02,  // Input (Data,Var,Abs): three buttons
      0x75,
      0x05,
      0x95,
      0x01,
      0x81,
      0x03,  // padding to the byte
      0xC0,  // End Collection
      0x06,
      0x00,
      0xFF,  // Usage Page (Vendor 0xFF00)
      0x09,
      0x01,  // Usage (1)
      0xA1,
      0x01,  // Collection (Application)
      0x15,
      0x00,
      0x26,
      0xFF,
      0x00,
      0x75,
      0x08,
      0x85,
      kSimResponseReportId,
      0x95,
      byte(settings.responseLength),
      0x09,
      kSimResponseUsage,
      0x81,
      0x02,  // Input (Data,Var,Abs): the response array
      0x85,
      kSimCommandReportId,
      0x95,
      byte(commandLength),
      0x09,
      kSimCommandUsage,
      0x91,
      0x02,  // Output (Data,Var,Abs): the command array
  };
  if (fillerLength > 0) {
    // Element by element: GCC 12 warns falsely on inserting a list at -O2.
    for (std::uint8_t item :
         {std::uint8_t{0x95}, byte(fillerLength), std::uint8_t{0x09},
          std::uint8_t{kSimOutputFillerUsage}, std::uint8_t{0x91}, std::uint8_t{0x02}}) {
      d.push_back(item);
    }
  }
  d.push_back(0xC0);
  return d;
}

std::vector<std::uint8_t> BuildSimButtonReport(std::uint8_t code,
                                               std::span<const std::uint16_t> usages,
                                               std::size_t length) {
  std::vector<std::uint8_t> report(std::max<std::size_t>(length, 3), 0);
  report[0] = kSimButtonReportId;
  report[1] = code;
  for (std::uint16_t usage : usages) {
    if (usage == kSimMuteUsage) report[2] |= 0x01;
    if (usage == kSimVolumeUpUsage) report[2] |= 0x02;
    if (usage == kSimVolumeDownUsage) report[2] |= 0x04;
  }
  return report;
}

}  // namespace kr35
