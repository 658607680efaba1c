#include "x_screen_probe.h"

#include <xcb/xtest.h>

#include <cstdlib>
#include <memory>

namespace kr35 {
namespace {

template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

template <typename Reply>
ReplyPtr<Reply> Own(Reply* reply) {
  return ReplyPtr<Reply>(reply, &std::free);
}

}  // namespace

XScreenProbe::XScreenProbe() {
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(connection) != 0) {
    xcb_disconnect(connection);
    return;
  }
  connection_ = connection;
  screen_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
}

XScreenProbe::~XScreenProbe() {
  if (connection_ == nullptr) return;
  RemoveOverlay();
  xcb_disconnect(connection_);
}

ScreenRect XScreenProbe::WindowArea(std::uint32_t window) {
  if (connection_ == nullptr) return {};
  auto geometry =
      Own(xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, window), nullptr));
  auto origin = Own(xcb_translate_coordinates_reply(
      connection_, xcb_translate_coordinates(connection_, window, screen_->root, 0, 0), nullptr));
  if (!geometry || !origin) return {};
  return {origin->dst_x, origin->dst_y, geometry->width, geometry->height};
}

std::vector<std::uint32_t> XScreenProbe::Capture(const ScreenRect& area) {
  if (connection_ == nullptr || area.width <= 0 || area.height <= 0) return {};
  auto image = Own(xcb_get_image_reply(
      connection_,
      xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, screen_->root,
                    static_cast<std::int16_t>(area.x), static_cast<std::int16_t>(area.y),
                    static_cast<std::uint16_t>(area.width), static_cast<std::uint16_t>(area.height),
                    ~0u),
      nullptr));
  if (!image || image->depth != 24) return {};
  // 24-bit pixels come as 32-bit words, rows without padding.
  const std::size_t count = static_cast<std::size_t>(area.width) * area.height;
  if (static_cast<std::size_t>(xcb_get_image_data_length(image.get())) < count * 4) return {};
  const std::uint8_t* data = xcb_get_image_data(image.get());
  std::vector<std::uint32_t> pixels(count);
  for (std::size_t i = 0; i < count; ++i) {
    pixels[i] = (data[4 * i] | data[4 * i + 1] << 8 | data[4 * i + 2] << 16) & 0xFFFFFFu;
  }
  return pixels;
}

void XScreenProbe::MapOverlay(const ScreenRect& area, std::uint32_t rgb) {
  if (connection_ == nullptr) return;
  RemoveOverlay();
  overlay_ = xcb_generate_id(connection_);
  const std::uint32_t values[] = {rgb, 1};  // background pixel, override-redirect
  xcb_create_window(connection_, XCB_COPY_FROM_PARENT, overlay_, screen_->root,
                    static_cast<std::int16_t>(area.x), static_cast<std::int16_t>(area.y),
                    static_cast<std::uint16_t>(area.width), static_cast<std::uint16_t>(area.height),
                    0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen_->root_visual,
                    XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
  xcb_map_window(connection_, overlay_);
  Sync();
}

void XScreenProbe::RemoveOverlay() {
  if (overlay_ == 0) return;
  xcb_destroy_window(connection_, overlay_);
  Sync();
  overlay_ = 0;
}

void XScreenProbe::Pointer(int x, int y, bool click) {
  if (connection_ == nullptr) return;
  xcb_test_fake_input(connection_, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, screen_->root,
                      static_cast<std::int16_t>(x), static_cast<std::int16_t>(y), 0);
  if (click) {
    xcb_test_fake_input(connection_, XCB_BUTTON_PRESS, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_test_fake_input(connection_, XCB_BUTTON_RELEASE, 1, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
  }
  Sync();
}

void XScreenProbe::Sync() {
  std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
}

}  // namespace kr35
