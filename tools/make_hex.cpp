// Writes an Intel HEX file of about the size asked for: 16-byte data records at
// contiguous addresses from 0, CR LF line ends, an extended linear address
// record every 64 KiB, pseudo-random data. For benchmarks and manual testing.
//   kr35-make-hex OUTPUT [SIZE_MIB]   (default 64)
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "firmware/file_io.h"
#include "firmware/intel_hex_writer.h"

namespace {

constexpr const char* kUsage =
    "usage: kr35-make-hex OUTPUT [SIZE_MIB]\n"
    "Writes an Intel HEX file of about SIZE_MIB MiB (default 64) of pseudo-random data.\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  // An output name that starts with '-' is a mistyped switch, not a file to create.
  if (argc < 2 || argc > 3 || argv[1][0] == '-') {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const double mib = argc > 2 ? std::atof(argv[2]) : 64.0;
  if (!(mib > 0)) {
    std::fprintf(stderr, "size must be a positive number of MiB\n");
    return 2;
  }
  // A 16-byte data record with CR LF is 45 characters of text.
  const auto dataBytes = static_cast<std::size_t>(mib * 1024 * 1024 / 45 * 16);
  std::vector<std::uint8_t> data(dataBytes);
  std::uint32_t state = 0x4B523335u;
  for (auto& b : data) {
    state = state * 1664525u + 1013904223u;
    b = static_cast<std::uint8_t>(state >> 24);
  }
  const std::string text = kr35::WriteIntelHex(data);
  std::string error;
  if (!kr35::WriteFileAtomically(
          argv[1], {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  std::printf("%s: %zu bytes of text, %zu data bytes\n", argv[1], text.size(), data.size());
  return 0;
}
