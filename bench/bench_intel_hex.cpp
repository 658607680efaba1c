// Intel HEX conversion speed on generated files: 16-byte data records, CR LF
// line ends, an extended linear address record every 64 KiB. The argument is
// the size of the text in MiB; bytes/s counts text bytes.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "firmware/firmware_image.h"
#include "firmware/intel_hex.h"
#include "firmware/intel_hex_writer.h"

namespace {

constexpr std::size_t kMiB = std::size_t{1} << 20;

std::vector<std::uint8_t> PseudoRandomBytes(std::size_t n) {
  std::vector<std::uint8_t> bytes(n);
  std::uint32_t state = 0x4B523335u;
  for (auto& b : bytes) {
    state = state * 1664525u + 1013904223u;
    b = static_cast<std::uint8_t>(state >> 24);
  }
  return bytes;
}

// About `mib` MiB of well-formed text (45 characters per 16 data bytes).
const std::string& HexText(std::size_t mib) {
  static std::map<std::size_t, std::string> cache;
  auto [it, added] = cache.try_emplace(mib);
  if (added) it->second = kr35::WriteIntelHex(PseudoRandomBytes(mib * kMiB / 45 * 16));
  return it->second;
}

// The same records with a line break in the middle of every record's data, so
// each record is read from compacted text.
const std::string& BrokenHexText(std::size_t mib) {
  static std::map<std::size_t, std::string> cache;
  auto [it, added] = cache.try_emplace(mib);
  if (added) {
    const std::string& text = HexText(mib);
    it->second.reserve(text.size() + text.size() / 40);
    it->second.push_back(text[0]);
    for (std::size_t i = 1; i < text.size(); ++i) {
      if (text[i] == ':' && i + 20 < text.size()) {
        it->second.append(text, i, 20);
        it->second += "\r\n";
        i += 19;
      } else {
        it->second.push_back(text[i]);
      }
    }
  }
  return it->second;
}

void ConvertInto(benchmark::State& state, const std::string& text) {
  // An image buffer as long as the text, as the download front-ends allocate.
  std::vector<std::uint8_t> image(text.size());
  for (auto _ : state) {
    benchmark::DoNotOptimize(kr35::BuildImageFromHex(text, kr35::kUsbSkipDigits, image));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
  state.counters["payload_bytes"] = kr35::FirmwareImage(image).PayloadLength();
}

void BM_BuildImageFromHex(benchmark::State& state) {
  ConvertInto(state, HexText(static_cast<std::size_t>(state.range(0))));
}
BENCHMARK(BM_BuildImageFromHex)->Arg(1)->Arg(8)->Arg(64)->Unit(benchmark::kMillisecond);

void BM_BuildImageFromHex_LineBreaksInRecords(benchmark::State& state) {
  ConvertInto(state, BrokenHexText(static_cast<std::size_t>(state.range(0))));
}
BENCHMARK(BM_BuildImageFromHex_LineBreaksInRecords)->Arg(8)->Arg(64)->Unit(benchmark::kMillisecond);

// Includes the image buffer and the result, as a file conversion does.
void BM_ConvertHexFile(benchmark::State& state) {
  const std::string& text = HexText(static_cast<std::size_t>(state.range(0)));
  const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(text.data()),
                                            text.size());
  for (auto _ : state) benchmark::DoNotOptimize(kr35::ConvertHexFile(bytes, kr35::kDspSkipDigits));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ConvertHexFile)->Arg(64)->Unit(benchmark::kMillisecond);

}  // namespace
