#include "app/qt/missing_display.h"

#include <algorithm>
#include <cstdlib>

namespace kr35 {
namespace {

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}

}  // namespace

std::string MissingDisplayText(const std::vector<std::string>& arguments) {
  const bool platformNamed = std::any_of(arguments.begin(), arguments.end(), [](const auto& a) {
    return a == "-platform" || a.rfind("-platform=", 0) == 0;
  });
  if (platformNamed || IsSet("QT_QPA_PLATFORM") || IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY")) {
    return {};
  }
  return "no display was found (DISPLAY and WAYLAND_DISPLAY are not set), so the dialog cannot "
         "be shown.\nOn a terminal, run kr35ctl instead: 'kr35ctl versions', 'kr35ctl download' "
         "(see 'kr35ctl --help').";
}

}  // namespace kr35
