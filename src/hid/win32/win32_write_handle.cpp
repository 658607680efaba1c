#include "hid/win32/win32_write_handle.h"

#include <limits>

namespace kr35 {

bool Win32WriteHandle::Write(std::span<const std::uint8_t> report) {
  if (report.empty() || report.size() > std::numeric_limits<DWORD>::max()) return false;
  DWORD written = 0;
  const DWORD length = static_cast<DWORD>(report.size());
  return WriteFile(file_.Get(), report.data(), length, &written, nullptr) && written == length;
}

}  // namespace kr35
