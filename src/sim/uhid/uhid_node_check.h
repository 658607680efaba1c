// The node kr35-sim writes its device events to must be the kernel's uhid
// device: a regular file would be overwritten with binary events, and another
// character device (/dev/zero) would feed the loop endless empty events.
#pragma once

#include <string>

namespace kr35 {

// True when `path` is the uhid character device (misc major 10, minor 239);
// false with `error` saying what it is instead and what is expected. Opens
// nothing.
bool CheckUhidNode(const std::string& path, std::string& error);

}  // namespace kr35
