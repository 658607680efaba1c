// Whether a report descriptor numbers its reports.
#pragma once

#include <cstdint>
#include <span>

namespace kr35 {

// True when the descriptor holds a Report ID item. Walks the items without
// reading past the end; a truncated last item ends the walk.
bool DescriptorUsesReportIds(std::span<const std::uint8_t> descriptor);

}  // namespace kr35
