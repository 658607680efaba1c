#include "app/hex_download_file.h"

#include "app/command_line.h"
#include "firmware/file_io.h"
#include "firmware/intel_hex.h"

namespace kr35 {

std::string_view DumpFileName(FirmwarePart part) {
  return part == FirmwarePart::kDsp ? kDspDumpFileName : kUsbDumpFileName;
}

std::string_view PartName(FirmwarePart part) { return part == FirmwarePart::kDsp ? "DSP" : "USB"; }

HexFileImage ReadHexFileImage(const std::filesystem::path& path, FirmwarePart part) {
  HexFileImage result;
  std::vector<std::uint8_t> bytes;
  if (!ReadWholeFile(path, bytes, result.error)) return result;
  result.readable = true;
  if (bytes.empty()) {
    result.empty = true;
    return result;
  }
  result.image =
      ConvertHexFile(bytes, part == FirmwarePart::kDsp ? kDspSkipDigits : kUsbSkipDigits);
  return result;
}

bool WriteDumpFile(const std::filesystem::path& directory, FirmwarePart part,
                   const std::vector<std::uint8_t>& image, std::string& error) {
  return WriteFileAtomically(directory / DumpFileName(part), image, error);
}

}  // namespace kr35
