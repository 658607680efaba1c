// Reading an Intel HEX file for one firmware part, and the name of its dump
// file; shared by the FULL dialog and `kr35ctl convert`, so both write the same
// bytes to the same names.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "firmware/intel_hex_check.h"
#include "firmware/large_buffer.h"
#include "protocol/transfer_events.h"

namespace kr35 {

using FirmwarePart = TransferPart;

std::string_view DumpFileName(FirmwarePart part);  // "DSPFileDump.bin" or "USBFileDump.bin"
std::string_view PartName(FirmwarePart part);      // "DSP" or "USB"

struct HexFileImage {
  bool readable = false;  // false: `error` names the file and the reason
  bool empty = false;     // the file has no bytes: nothing to convert
  std::string error;
  LargeBuffer buffer;  // header + payload, when readable and not empty

  std::span<const std::uint8_t> Image() const { return buffer.Span(); }
};

// Reads the file and converts it with the part's skip count. With `findings`,
// also checks each record strictly (intel_hex_check.h) and stores what it found.
HexFileImage ReadHexFileImage(const std::filesystem::path& path, FirmwarePart part,
                              std::vector<HexRecordFinding>* findings = nullptr);

}  // namespace kr35
