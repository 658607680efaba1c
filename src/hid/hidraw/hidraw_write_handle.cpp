#include "hid/hidraw/hidraw_write_handle.h"

#include <unistd.h>

#include <cerrno>

namespace kr35 {

bool HidrawWriteHandle::Write(std::span<const std::uint8_t> report) {
  if (report.empty() || !fd_.Valid()) {
    return false;
  }
  ssize_t written;
  do {
    written = ::write(fd_.Get(), report.data(), report.size());
  } while (written < 0 && errno == EINTR);
  // hidraw takes a report in one write; a partial one cannot be completed.
  return written >= 0 && static_cast<std::size_t>(written) == report.size();
}

}  // namespace kr35
