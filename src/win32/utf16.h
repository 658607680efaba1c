// Text inside the program is UTF-8; Windows' wide functions take UTF-16.
// These two conversions are the only ones the Windows code uses, so a
// non-ASCII name reads and compares the same in every place, whatever the
// system's ANSI code page is.
#pragma once

#include <string>
#include <string_view>

namespace kr35 {

// Invalid sequences become U+FFFD.
std::wstring Utf16FromUtf8(std::string_view text);
std::string Utf8FromUtf16(std::wstring_view text);

}  // namespace kr35
