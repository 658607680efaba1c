// Writing bytes as Intel HEX text: test input, benchmarks and the image tools.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kr35 {

struct HexWriteOptions {
  std::uint32_t baseAddress = 0;
  std::size_t bytesPerRecord = 16;  // 1..255
  std::string_view lineEnd = "\r\n";
};

// `data` as data records at consecutive addresses from `baseAddress`, with an
// extended linear address record at the start and wherever the upper 16 address
// bits change, and an end-of-file record. Upper-case digits, valid checksums;
// no record crosses a 64 KiB boundary.
std::string WriteIntelHex(std::span<const std::uint8_t> data, const HexWriteOptions& options = {});

}  // namespace kr35
