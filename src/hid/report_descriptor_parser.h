// Our own report-descriptor parser: turns a device's report descriptor into
// PreparsedData, the role hid.dll's preparsed data plays on Windows.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "hid/report_parsing.h"

namespace kr35 {

// Parses an untrusted descriptor; null when it cannot be used (malformed,
// over the limits). Never reads outside `descriptor`.
std::unique_ptr<PreparsedData> ParseReportDescriptor(std::span<const std::uint8_t> descriptor);

}  // namespace kr35
