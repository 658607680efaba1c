#include "firmware/builtin_images.h"

#include <cstddef>

// Generated from resources/usb_131.bin and resources/dsp_135.bin at build time.
extern const unsigned char kr35_usb_image_131[];
extern const std::size_t kr35_usb_image_131_size;
extern const unsigned char kr35_dsp_image_135[];
extern const std::size_t kr35_dsp_image_135_size;

namespace kr35 {

std::span<const std::uint8_t> LoadBuiltInImage(int id) {
  switch (id) {
    case kUsbImageId:
      return {kr35_usb_image_131, kr35_usb_image_131_size};
    case kDspImageId:
      return {kr35_dsp_image_135, kr35_dsp_image_135_size};
    default:
      return {};
  }
}

}  // namespace kr35
