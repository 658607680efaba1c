#include "hid/win32/interface_detail_path.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "hid/win32/windows_headers.h"

namespace kr35 {
namespace {

constexpr int kMaxRounds = 8;
constexpr std::uint32_t kMaxDetailSize = 64 * 1024;
// The detail record's size member takes the size of the record's fixed part
// for this platform: 8 on 64-bit Windows (a 32-bit size, one character and
// padding), 5 on 32-bit Windows.
constexpr DWORD kDetailRecordSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
constexpr std::size_t kPathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);

}  // namespace

std::string InterfaceDetailPath(const InterfaceDetailQuery& query) {
  std::uint32_t required = 0;
  std::uint32_t error = 0;
  if (query({}, required, error)) return {};

  for (int round = 0; round < kMaxRounds && error == ERROR_INSUFFICIENT_BUFFER; ++round) {
    if (required > kMaxDetailSize) return {};
    // Never smaller than the fixed part, which this side writes and reads.
    std::vector<std::byte> buffer(std::max<std::size_t>(required, kDetailRecordSize + 1));
    const DWORD size = kDetailRecordSize;
    std::memcpy(buffer.data(), &size, sizeof size);
    std::uint32_t nextRequired = 0;
    if (query(buffer, nextRequired, error)) {
      // The path ends at its zero or at the end of the buffer, whichever comes first.
      const char* path = reinterpret_cast<const char*>(buffer.data() + kPathOffset);
      const std::size_t room = buffer.size() - kPathOffset;
      return std::string(path, strnlen(path, room));
    }
    required = nextRequired;
  }
  return {};
}

}  // namespace kr35
