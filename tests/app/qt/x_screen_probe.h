// A second client of the X server the dialog runs on, as another program or
// the user would be: it reads the screen's pixels, maps a plain window over
// an area and takes it away again, and clicks with the pointer (XTEST).
// Used from a helper thread while the dialog's thread is busy.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <vector>

namespace kr35 {

struct ScreenRect {
  int x = 0, y = 0, width = 0, height = 0;
  bool Contains(int px, int py) const {
    return px >= x && px < x + width && py >= y && py < y + height;
  }
};

class XScreenProbe {
 public:
  XScreenProbe();  // connects to $DISPLAY
  ~XScreenProbe();
  XScreenProbe(const XScreenProbe&) = delete;
  XScreenProbe& operator=(const XScreenProbe&) = delete;

  bool Connected() const { return connection_ != nullptr; }
  // The area of window `window` on the screen; empty when it is unknown.
  ScreenRect WindowArea(std::uint32_t window);
  // The pixels of `area` (24-bit colour, one value per pixel); empty on failure.
  std::vector<std::uint32_t> Capture(const ScreenRect& area);
  // Maps an override-redirect window filled with `rgb` over `area`.
  void MapOverlay(const ScreenRect& area, std::uint32_t rgb);
  void RemoveOverlay();
  // Moves the pointer to (x, y) and, with `click`, presses and releases button 1 there.
  void Pointer(int x, int y, bool click);

 private:
  // A round trip: the server has carried out the requests sent before.
  void Sync();

  xcb_connection_t* connection_ = nullptr;
  xcb_screen_t* screen_ = nullptr;
  xcb_window_t overlay_ = 0;
};

}  // namespace kr35
