// Bytes as lower-case hex text and back, for the files that carry reports
// and payloads as text (the simulator's state file, session recordings).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kr35 {

std::string ToHex(std::span<const std::uint8_t> bytes);
// Appends the hex text of `bytes` to `text` (no allocation when it has room).
void AppendHex(std::string& text, std::span<const std::uint8_t> bytes);
// Null when the text is not an even number of hex digits or would decode to
// more than `maxBytes` bytes.
std::optional<std::vector<std::uint8_t>> FromHex(std::string_view text, std::size_t maxBytes);

// A 16-bit id or version as four hex digits: "3c1f", or "3C1F" in upper case.
std::string Hex4(unsigned value, bool upperCase = false);

}  // namespace kr35
