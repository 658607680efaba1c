// Text that came from a device (its product, manufacturer and serial strings,
// its path) made safe to print on a terminal: a device could otherwise change
// the terminal's colours, move its cursor or forge whole lines.
#pragma once

#include <string>
#include <string_view>

namespace kr35 {

// `text` with control characters written as escapes: "\0", "\t", "\n", "\r",
// other C0 controls and DEL as "\x1b"-style, C1 controls (U+0080..U+009F) and
// bytes that are not UTF-8 as "\xc2\x9b"-style, and "\" as "\\". Printable
// UTF-8 passes unchanged.
std::string EscapeDeviceText(std::string_view text);

}  // namespace kr35
