#include "app/hex_download_file.h"

#include <algorithm>
#include <new>

#include "app/command_line.h"

#include "firmware/file_io.h"
#include "firmware/firmware_image.h"
#include "firmware/intel_hex.h"

namespace kr35 {

std::string_view DumpFileName(FirmwarePart part) {
  return part == FirmwarePart::kDsp ? kDspDumpFileName : kUsbDumpFileName;
}

std::string_view PartName(FirmwarePart part) {
  return TransferPartName(part);
}

namespace {

HexFileImage ReadAndConvert(const std::filesystem::path& path, FirmwarePart part,
                            std::vector<HexRecordFinding>* findings) {
  HexFileImage result;
  LargeBuffer text;
  if (!ReadFileIntoBuffer(path, text, result.error, kMaxReadFileBytes)) return result;
  result.readable = true;
  if (text.empty()) {
    result.empty = true;
    return result;
  }
  // The image buffer is as long as the file (never shorter than a header):
  // a HEX text always holds more characters than the bytes it describes.
  result.buffer = LargeBuffer(std::max(text.size(), kImageHeaderSize));
  const std::string_view hexText(reinterpret_cast<const char*>(text.data()), text.size());
  if (findings) *findings = CheckHexRecords(hexText);
  BuildImageFromHex(hexText, part == FirmwarePart::kDsp ? kDspSkipDigits : kUsbSkipDigits,
                    result.buffer.Span());
  result.buffer.Shrink(kImageHeaderSize + FirmwareImage(result.buffer.Span()).PayloadLength());
  return result;
}

}  // namespace

HexFileImage ReadHexFileImage(const std::filesystem::path& path, FirmwarePart part,
                              std::vector<HexRecordFinding>* findings) {
  // A file near the size limit needs two buffers as large as itself; when
  // the memory is not there, that is a failure of this file like any other.
  try {
    return ReadAndConvert(path, part, findings);
  } catch (const std::bad_alloc&) {
    HexFileImage result;
    result.error = "cannot read \"" + path.string() + "\": not enough memory";
    return result;
  }
}

}  // namespace kr35
