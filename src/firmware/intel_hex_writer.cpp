#include "firmware/intel_hex_writer.h"

#include <algorithm>

namespace kr35 {
namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

class RecordWriter {
 public:
  RecordWriter(std::string& out, std::string_view lineEnd) : out_(out), lineEnd_(lineEnd) {}

  void Write(std::uint8_t type, std::uint16_t offset, std::span<const std::uint8_t> data) {
    const auto count = static_cast<std::uint8_t>(data.size());
    std::uint8_t sum = 0;
    out_ += ':';
    Byte(count, sum);
    Byte(static_cast<std::uint8_t>(offset >> 8), sum);
    Byte(static_cast<std::uint8_t>(offset), sum);
    Byte(type, sum);
    for (std::uint8_t b : data) Byte(b, sum);
    std::uint8_t ignored = 0;
    Byte(static_cast<std::uint8_t>(-sum), ignored);
    out_ += lineEnd_;
  }

 private:
  void Byte(std::uint8_t b, std::uint8_t& sum) {
    out_ += kDigits[b >> 4];
    out_ += kDigits[b & 0x0F];
    sum = static_cast<std::uint8_t>(sum + b);
  }

  std::string& out_;
  std::string_view lineEnd_;
};

}  // namespace

std::string WriteIntelHex(std::span<const std::uint8_t> data, const HexWriteOptions& options) {
  const std::size_t perRecord = std::clamp<std::size_t>(options.bytesPerRecord, 1, 255);
  std::string out;
  out.reserve(data.size() / perRecord * (11 + 2 * perRecord + options.lineEnd.size()) +
              2 * perRecord + 64 + data.size() / 65536 * 32);
  RecordWriter writer(out, options.lineEnd);

  std::uint32_t address = options.baseAddress;
  std::uint32_t upper = ~(address >> 16);  // forces the first extended address record
  std::size_t pos = 0;
  while (pos < data.size()) {
    if (address >> 16 != upper) {
      upper = address >> 16;
      const std::uint8_t bytes[2] = {static_cast<std::uint8_t>(upper >> 8),
                                     static_cast<std::uint8_t>(upper)};
      writer.Write(0x04, 0, bytes);
    }
    const std::size_t toBoundary = 0x10000 - (address & 0xFFFF);
    const std::size_t n = std::min({perRecord, data.size() - pos, toBoundary});
    writer.Write(0x00, static_cast<std::uint16_t>(address), data.subspan(pos, n));
    pos += n;
    address += static_cast<std::uint32_t>(n);
  }
  writer.Write(0x01, 0, {});
  return out;
}

}  // namespace kr35
