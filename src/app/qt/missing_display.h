// Whether the Qt program has a display to open its window on. Without one Qt
// aborts with a core dump, so the program asks first and says what to do.
#pragma once

#include <string>
#include <vector>

namespace kr35 {

// Empty when QT_QPA_PLATFORM or "-platform" names the platform plugin, or
// DISPLAY or WAYLAND_DISPLAY names a display; else why there is none and how
// to run kr35ctl instead. `arguments` excludes the program name.
std::string MissingDisplayText(const std::vector<std::string>& arguments);

}  // namespace kr35
