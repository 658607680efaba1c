#include "hid/printable_text.h"

#include <cstdint>

namespace kr35 {
namespace {

void AppendHexEscape(std::string& out, std::uint8_t byte) {
  constexpr char kDigits[] = "0123456789abcdef";
  out += "\\x";
  out += kDigits[byte >> 4];
  out += kDigits[byte & 0x0F];
}

// The length of the well-formed UTF-8 sequence at the start of `text`; 0 when
// there is none.
std::size_t Utf8Length(std::string_view text) {
  const auto lead = static_cast<std::uint8_t>(text[0]);
  const std::size_t length = lead >= 0xF0 && lead <= 0xF4   ? 4
                             : lead >= 0xE0                 ? 3
                             : lead >= 0xC2 && lead <= 0xDF ? 2
                                                            : 0;
  if (length == 0 || text.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((static_cast<std::uint8_t>(text[i]) & 0xC0) != 0x80) return 0;
  }
  return length;
}

}  // namespace

std::string EscapeDeviceText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    const auto byte = static_cast<std::uint8_t>(text[0]);
    std::size_t used = 1;
    if (byte == '\\') {
      out += "\\\\";
    } else if (byte == 0) {
      out += "\\0";
    } else if (byte == '\t') {
      out += "\\t";
    } else if (byte == '\n') {
      out += "\\n";
    } else if (byte == '\r') {
      out += "\\r";
    } else if (byte < 0x20 || byte == 0x7F) {
      AppendHexEscape(out, byte);
    } else if (byte < 0x80) {
      out += static_cast<char>(byte);
    } else if (const std::size_t length = Utf8Length(text);
               length == 0 || (byte == 0xC2 && static_cast<std::uint8_t>(text[1]) < 0xA0)) {
      // Not UTF-8, or a C1 control: each byte escaped.
      used = length == 0 ? 1 : length;
      for (std::size_t i = 0; i < used; ++i)
        AppendHexEscape(out, static_cast<std::uint8_t>(text[i]));
    } else {
      out.append(text.substr(0, length));
      used = length;
    }
    text.remove_prefix(used);
  }
  return out;
}

}  // namespace kr35
