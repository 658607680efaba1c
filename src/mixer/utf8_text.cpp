#include "mixer/utf8_text.h"

#include <cstdint>

namespace kr35 {
namespace {

bool IsContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// Sequence length announced by a lead byte; 0 for a byte that cannot lead.
std::size_t AnnouncedLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

}  // namespace

std::size_t Utf8CharLength(std::string_view text, std::size_t pos) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  const std::size_t length = AnnouncedLength(lead);
  if (length <= 1 || length > text.size() - pos) return 1;
  for (std::size_t i = 1; i < length; ++i) {
    if (!IsContinuation(static_cast<unsigned char>(text[pos + i]))) return 1;
  }
  return length;
}

bool ContainsAtCharStart(std::string_view text, std::string_view marker) {
  if (marker.empty()) return true;
  for (std::size_t pos = 0; pos < text.size(); pos += Utf8CharLength(text, pos)) {
    if (text.substr(pos, marker.size()) == marker) return true;
  }
  return false;
}

std::string_view TruncateUtf8(std::string_view text, std::size_t maxBytes) {
  std::size_t end = 0;
  while (end < text.size()) {
    const std::size_t next = end + Utf8CharLength(text, end);
    if (next > maxBytes) break;
    end = next;
  }
  return text.substr(0, end);
}

}  // namespace kr35
