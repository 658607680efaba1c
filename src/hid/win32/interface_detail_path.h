// The device path of one HID device interface, read through
// SetupDiGetDeviceInterfaceDetailA: a size query first, then, as long as the
// platform asks for a bigger buffer, a query with a buffer of the size asked for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace kr35 {

// One detail query: `detail` is the detail record's buffer (empty for the size
// query). Returns true on success; on failure `error` receives the last error.
// `required` receives the size the platform needs.
using InterfaceDetailQuery =
    std::function<bool(std::span<std::byte> detail, std::uint32_t& required, std::uint32_t& error)>;

// The path, or empty when it cannot be had. A size query that succeeds gives
// no path; the buffer loop ends at the first error other than
// ERROR_INSUFFICIENT_BUFFER, and also after a few rounds or at an absurd size,
// so a platform that keeps asking for more cannot hold the walk forever.
std::string InterfaceDetailPath(const InterfaceDetailQuery& query);

}  // namespace kr35
