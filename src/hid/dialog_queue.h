// The dialog's queue: where the reader thread posts button events and the
// notification backends post device notices. Dialog hosts implement it; a
// null queue drops what is posted.
#pragma once

#include <cstdint>

namespace kr35 {

inline constexpr std::uint32_t WM_DEVICECHANGE = 0x0219;
inline constexpr std::uint32_t WM_USER = 0x0400;
inline constexpr std::uint32_t WM_HID_EVENT = WM_USER + 0x200;  // 0x600: wParam usage page, lParam usage

inline constexpr std::uint32_t DBT_DEVNODES_CHANGED = 0x0007;
inline constexpr std::uint32_t DBT_DEVICEARRIVAL = 0x8000;
inline constexpr std::uint32_t DBT_DEVICEREMOVECOMPLETE = 0x8004;

struct DialogMessage {
  std::uint32_t message = 0;
  std::uintptr_t wParam = 0;
  std::intptr_t lParam = 0;
};

class DialogQueue {
 public:
  virtual ~DialogQueue() = default;
  // Queues the message without waiting; callable from any thread.
  virtual void Post(const DialogMessage& message) = 0;
};

}  // namespace kr35
