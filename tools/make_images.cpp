// Writes the two built-in firmware images, usb_131.bin and dsp_135.bin, into
// the directory given (default: the current one). The output is the same on
// every run and every platform; docs/firmware-images.md describes the layout.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "firmware/firmware_image.h"

namespace {

struct ImageRecipe {
  const char* fileName;
  char part;  // 'U' or 'D'
  std::uint32_t payloadLength;
  std::uint16_t checksum;
  std::uint16_t version;
  std::uint32_t seed;
};

// Both payloads are far longer than the header fields plus kBalanceBytes.
constexpr ImageRecipe kImages[] = {
    {"usb_131.bin", 'U', 6021, 0x2C7F, 0x0104, 0x55534231u},
    {"dsp_135.bin", 'D', 59278, 0x5269, 0x0107, 0x44535031u},
};

// Filler bytes from a fixed-seed xorshift32 generator.
class Filler {
 public:
  explicit Filler(std::uint32_t seed) : state_(seed) {}
  std::uint8_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<std::uint8_t>(state_ >> 24);
  }

 private:
  std::uint32_t state_;
};

void PutU16(std::vector<std::uint8_t>& out, std::size_t at, std::uint16_t v) {
  out[at] = static_cast<std::uint8_t>(v);
  out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

// Nudges the last kBalanceBytes payload bytes by one at a time, round robin,
// until the payload's byte sum equals `target` modulo 65536. Spreading the
// change keeps the tail looking like the rest of the filler.
constexpr std::size_t kBalanceBytes = 1024;

void BalanceChecksum(std::vector<std::uint8_t>& payload, std::uint16_t target) {
  int delta = (target - kr35::ComputeChecksum(payload)) & 0xFFFF;
  if (delta > 0x8000) delta -= 0x10000;
  const int step = delta > 0 ? 1 : -1;
  const std::size_t first = payload.size() - kBalanceBytes;
  for (std::size_t i = first; delta != 0; i = i + 1 < payload.size() ? i + 1 : first) {
    const int next = payload[i] + step;
    if (next < 0 || next > 255) continue;
    payload[i] = static_cast<std::uint8_t>(next);
    delta -= step;
  }
}

std::vector<std::uint8_t> MakeImage(const ImageRecipe& recipe) {
  std::vector<std::uint8_t> payload(recipe.payloadLength);
  payload[0] = 'K';
  payload[1] = 'R';
  payload[2] = '3';
  payload[3] = '5';
  payload[4] = static_cast<std::uint8_t>(recipe.part);
  payload[5] = 0;
  PutU16(payload, kr35::kPayloadVersionOffset, recipe.version);
  constexpr std::size_t kFillerStart = kr35::kPayloadVersionOffset + 2;
  Filler filler(recipe.seed);
  for (std::size_t i = kFillerStart; i < payload.size(); ++i) payload[i] = filler.Next();
  BalanceChecksum(payload, recipe.checksum);

  std::vector<std::uint8_t> image(kr35::kImageHeaderSize);
  image[0] = static_cast<std::uint8_t>(recipe.payloadLength);
  image[1] = static_cast<std::uint8_t>(recipe.payloadLength >> 8);
  image[2] = static_cast<std::uint8_t>(recipe.payloadLength >> 16);
  image[3] = static_cast<std::uint8_t>(recipe.payloadLength >> 24);
  PutU16(image, 4, recipe.checksum);
  PutU16(image, 6, recipe.version);
  image.insert(image.end(), payload.begin(), payload.end());
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  const std::filesystem::path dir = argc > 1 ? argv[1] : ".";
  for (const ImageRecipe& recipe : kImages) {
    const std::vector<std::uint8_t> image = MakeImage(recipe);
    const kr35::FirmwareImage view(image);
    if (!view.ChecksumMatches() || view.PayloadLength() != recipe.payloadLength) {
      std::fprintf(stderr, "%s: generated image does not match its header\n", recipe.fileName);
      return 1;
    }
    const std::filesystem::path path = dir / recipe.fileName;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.data()),
              static_cast<std::streamsize>(image.size()));
    out.close();
    if (!out) {
      std::fprintf(stderr, "cannot write %s\n", path.string().c_str());
      return 1;
    }
    std::printf("%s: %zu bytes, payload %u, checksum 0x%04X, version 0x%04X\n",
                path.string().c_str(), image.size(), view.PayloadLength(), view.Checksum(),
                view.Version());
  }
  return 0;
}
