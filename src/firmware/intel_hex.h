// Conversion of Intel HEX text into a firmware image.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace kr35 {

inline constexpr int kDspSkipDigits = 4;  // the DSP image drops the first two data bytes
inline constexpr int kUsbSkipDigits = 0;

// Converts `text` (the whole content of a HEX file; it ends at its first NUL)
// into a complete image in `image`: header, then the data bytes of the data
// records in file order. `skipDigits` hex digits are dropped from the front of
// the first data record. Never reads outside `text` nor writes outside
// `image`: conversion stops at the end of the text or when the image buffer
// is full, and the header describes what was stored. An image buffer shorter
// than the header receives nothing. Returns the payload checksum.
std::uint16_t BuildImageFromHex(std::string_view text, int skipDigits, std::span<std::uint8_t> image);

// Converts a file's bytes into an image sized to what was converted
// (8 + payload length bytes).
std::vector<std::uint8_t> ConvertHexFile(std::span<const std::uint8_t> fileBytes, int skipDigits);

}  // namespace kr35
