#include "app/console/version_check.h"

#include <cstdio>
#include <string>

#include "firmware/builtin_images.h"
#include "firmware/firmware_image.h"

namespace kr35 {
namespace {

constexpr std::uint8_t kVersionsAnswer = 28;  // the answer to the versions query

std::string VersionPair(unsigned usb, unsigned dsp) {
  char text[32];
  std::snprintf(text, sizeof text, "USB %04x, DSP %04x", usb, dsp);
  return text;
}

}  // namespace

bool CheckInstalledVersions(const ResponseFrame& lastResponse, EventPrinter& printer) {
  const unsigned builtInUsb = FirmwareImage(LoadBuiltInImage(kUsbImageId)).Version();
  const unsigned builtInDsp = FirmwareImage(LoadBuiltInImage(kDspImageId)).Version();
  const std::string builtIn = VersionPair(builtInUsb, builtInDsp);
  std::string fields = "\"builtInUsb\":" + std::to_string(builtInUsb) +
                       ",\"builtInDsp\":" + std::to_string(builtInDsp);
  if (lastResponse[0] != kVersionsAnswer) {
    printer.PrintWithFields("verify",
                            "the adapter did not report its versions after the restart; "
                            "built-in images " +
                                builtIn,
                            fields + ",\"installedUsb\":null,\"installedDsp\":null");
    return false;
  }
  const unsigned usb = lastResponse[1] | lastResponse[2] << 8;
  const unsigned dsp = lastResponse[3] | lastResponse[4] << 8;
  const std::string installed = VersionPair(usb, dsp);
  fields += ",\"installedUsb\":" + std::to_string(usb) + ",\"installedDsp\":" + std::to_string(dsp);
  const bool match = usb == builtInUsb && dsp == builtInDsp;
  printer.PrintWithFields("verify",
                          match ? "installed " + installed + " as built in"
                                : "installed " + installed + " differs from built-in " + builtIn,
                          fields);
  return match;
}

}  // namespace kr35
