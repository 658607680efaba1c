// Character-wise walking of UTF-8 names that may not be valid UTF-8.
#pragma once

#include <cstddef>
#include <string_view>

namespace kr35 {

// Length in bytes of the character starting at `text[pos]` (pos < size): a
// whole well-formed UTF-8 sequence, or 1 for any byte that does not start
// one (a stray continuation byte, a bad lead byte, a truncated sequence).
std::size_t Utf8CharLength(std::string_view text, std::size_t pos);

// True when `marker` occurs in `text` starting at a character start, walking
// `text` character by character as Utf8CharLength does.
bool ContainsAtCharStart(std::string_view text, std::string_view marker);

// The longest prefix of `text` of at most `maxBytes` bytes that ends on a
// character boundary.
std::string_view TruncateUtf8(std::string_view text, std::size_t maxBytes);

}  // namespace kr35
