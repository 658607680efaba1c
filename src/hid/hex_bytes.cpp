#include "hid/hex_bytes.h"

#include <array>
#include <cstdio>
#include <cstring>

namespace kr35 {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The two hex digits of every byte value, so a byte costs one table lookup.
constexpr std::array<char, 512> kDigitPairs = [] {
  constexpr char kDigits[] = "0123456789abcdef";
  std::array<char, 512> pairs{};
  for (std::size_t byte = 0; byte < 256; ++byte) {
    pairs[2 * byte] = kDigits[byte >> 4];
    pairs[2 * byte + 1] = kDigits[byte & 0x0F];
  }
  return pairs;
}();

}  // namespace

void AppendHex(std::string& text, std::span<const std::uint8_t> bytes) {
  const std::size_t start = text.size();
  text.resize(start + 2 * bytes.size());
  char* out = text.data() + start;
  for (const std::uint8_t byte : bytes) {
    std::memcpy(out, &kDigitPairs[2 * std::size_t{byte}], 2);
    out += 2;
  }
}

std::string ToHex(std::span<const std::uint8_t> bytes) {
  std::string text;
  text.reserve(bytes.size() * 2);
  AppendHex(text, bytes);
  return text;
}

std::optional<std::vector<std::uint8_t>> FromHex(std::string_view text, std::size_t maxBytes) {
  if (text.size() % 2 != 0 || text.size() / 2 > maxBytes) return std::nullopt;
  std::vector<std::uint8_t> bytes(text.size() / 2);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const int high = HexDigit(text[2 * i]);
    const int low = HexDigit(text[2 * i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes[i] = static_cast<std::uint8_t>(high << 4 | low);
  }
  return bytes;
}

std::string Hex4(unsigned value, bool upperCase) {
  char text[8];
  std::snprintf(text, sizeof text, upperCase ? "%04X" : "%04x", value & 0xFFFFu);
  return text;
}

}  // namespace kr35
