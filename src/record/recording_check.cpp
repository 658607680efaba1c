#include "record/recording_check.h"

#include <cstdio>

#include "hid/hid_device.h"
#include "hid/report_descriptor_parser.h"

namespace kr35 {
namespace {

std::string LineText(int line) {
  return line > 0 ? "line " + std::to_string(line) + ": " : std::string();
}

// Empty unless the recording shows that the interface at `path` is no
// adapter a replay can present: ids of another device, a descriptor that does
// not parse, capabilities out of range. What the recording does not hold (a
// session that never asked for the descriptor) is no reason.
std::string WhyNotTheAdapter(const std::string& path, const RecordedInterface& interface) {
  if (interface.attributes &&
      !IsAdapterIdentity(interface.attributes->vendorId, interface.attributes->productId)) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "has vendor id 0x%04X and product id 0x%04X, which are not a KR35 adapter's "
                  "(0x%04X with 0x%04X or 0x%04X)",
                  interface.attributes->vendorId, interface.attributes->productId, kAdapterVendorId,
                  kAdapterProductId, kAdapterAltProductId);
    return LineText(interface.attributesLine) + "interface " + path + " " + text;
  }
  if (interface.descriptor) {
    if (!ParseReportDescriptor(*interface.descriptor)) {
      return LineText(interface.descriptorLine) + "the report descriptor of " + path +
             " does not parse";
    }
  } else if (interface.caps && !PreparsedDataFromCaps(*interface.caps)) {
    return LineText(interface.descriptorLine) + "the capabilities of " + path +
           " are out of range (a field outside its report, or counts out of bounds)";
  }
  return {};
}

}  // namespace

std::string WhyNoRecordedAdapter(const Recording& recording) {
  std::string firstReason;
  bool anyListed = false;
  for (const auto& enumeration : recording.enumerations) {
    if (!enumeration) continue;
    for (const std::string& path : *enumeration) {
      anyListed = true;
      const auto interface = recording.interfaces.find(path);
      const std::string reason = interface == recording.interfaces.end()
                                     ? std::string()
                                     : WhyNotTheAdapter(path, interface->second);
      if (reason.empty()) return {};
      if (firstReason.empty()) firstReason = reason;
    }
  }
  if (anyListed) return "the recording shows no KR35 adapter: " + firstReason;
  // A session that never looked for the adapter has nothing to present, and
  // nothing to refuse either.
  if (recording.enumerations.empty()) return {};
  return LineText(recording.enumerationLines.front()) +
         "the recorded enumeration lists no HID interface";
}

}  // namespace kr35
