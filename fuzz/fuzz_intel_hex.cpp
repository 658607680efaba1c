// Converts arbitrary bytes with both skip counts into a buffer sized like the
// download front-ends size it, and checks what the header says against what
// was stored. AddressSanitizer catches any access outside the text or buffer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <string_view>

#include "firmware/firmware_image.h"
#include "firmware/intel_hex.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void ConvertWith(const std::uint8_t* data, std::size_t size, int skip) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::size_t bufferSize = size < kr35::kImageHeaderSize ? kr35::kImageHeaderSize : size;
  // Exactly sized, so that ASan notices a single byte written past the end.
  auto buffer = std::make_unique<std::uint8_t[]>(bufferSize);
  const std::span<std::uint8_t> image(buffer.get(), bufferSize);
  const std::uint16_t returned = kr35::BuildImageFromHex(text, skip, image);

  const kr35::FirmwareImage view(image);
  Check(view.PayloadLength() <= bufferSize - kr35::kImageHeaderSize);
  Check(view.IsComplete());
  Check(view.Checksum() == kr35::ComputeChecksum(view.Payload()));
  Check(returned == view.Checksum());
  Check(view.Version() == 0);

  // The file conversion gives the same image, cut to its length.
  const auto converted = kr35::ConvertHexFile({data, size}, skip);
  Check(converted.size() == kr35::kImageHeaderSize + view.PayloadLength());
  for (std::size_t i = 0; i < converted.size(); ++i) Check(converted[i] == buffer[i]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ConvertWith(data, size, kr35::kUsbSkipDigits);
  ConvertWith(data, size, kr35::kDspSkipDigits);
  return 0;
}
