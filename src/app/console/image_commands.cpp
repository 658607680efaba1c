#include "app/console/image_commands.h"

#include <cstdio>
#include <iostream>
#include <vector>

#include "adapter/transfer_texts.h"
#include "app/console/exit_status.h"
#include "app/console/hex_inputs.h"
#include "firmware/builtin_images.h"
#include "firmware/file_io.h"
#include "firmware/firmware_image.h"
#include "firmware/intel_hex_check.h"

namespace kr35 {
namespace {

// Prints one image's header; true when the image is complete and its checksum matches.
bool PrintImage(const std::string& name, std::span<const std::uint8_t> bytes,
                EventPrinter& printer) {
  const FirmwareImage image(bytes);
  if (!image.HasHeader()) {
    printer.PrintWithFields("image", name + ": not an image: shorter than the 8-byte header",
                            "\"name\":" + JsonQuote(name) + ",\"valid\":false");
    return false;
  }
  const bool complete = image.IsComplete();
  const bool matches = image.ChecksumMatches();
  char text[256];
  std::snprintf(text, sizeof text, "%s: payloadLength %u, checksum 0x%04X, version %04x, %s",
                name.c_str(), image.PayloadLength(), image.Checksum(), image.Version(),
                !complete ? "payload truncated"
                : matches ? "checksum matches"
                          : "checksum does NOT match");
  char fields[256];
  std::snprintf(fields, sizeof fields,
                "\"name\":%s,\"payloadLength\":%u,\"checksum\":%u,\"version\":%u,\"complete\":%s,"
                "\"checksumMatches\":%s",
                JsonQuote(name).c_str(), image.PayloadLength(), image.Checksum(), image.Version(),
                complete ? "true" : "false", matches ? "true" : "false");
  printer.PrintWithFields("image", text, fields);
  return matches;
}

// An Intel HEX file: its first character that is not blank is a record's ':'.
bool LooksLikeHex(std::span<const std::uint8_t> bytes) {
  for (const std::uint8_t byte : bytes) {
    if (byte != ' ' && byte != '\t' && byte != '\r' && byte != '\n') return byte == ':';
  }
  return false;
}

const char* FindingName(HexRecordFinding::Kind kind) {
  switch (kind) {
    case HexRecordFinding::Kind::kBadChecksum:
      return "bad checksum";
    case HexRecordFinding::Kind::kMalformed:
      return "malformed";
    case HexRecordFinding::Kind::kOutOfOrder:
      return "out of order";
    case HexRecordFinding::Kind::kGap:
      return "gap";
  }
  return "";
}

// Lists a HEX file's records with a wrong checksum, out of address order and
// the gaps between them; true when none would make download refuse the file.
bool PrintHexFindings(const std::string& name, std::span<const std::uint8_t> bytes,
                      EventPrinter& printer) {
  const auto findings =
      CheckHexRecords(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  bool flashable = true;
  for (const HexRecordFinding& finding : findings) {
    flashable = flashable && !IsDefect(finding);
    printer.PrintWithFields("record",
                            name + " line " + std::to_string(finding.line) + ": " +
                                FindingName(finding.kind) + ": " + finding.text,
                            "\"name\":" + JsonQuote(name) +
                                ",\"line\":" + std::to_string(finding.line) +
                                ",\"finding\":" + JsonQuote(FindingName(finding.kind)) +
                                ",\"text\":" + JsonQuote(finding.text));
  }
  printer.PrintWithFields("image",
                          name + ": Intel HEX, " + std::to_string(findings.size()) +
                              (findings.size() == 1 ? " finding" : " findings") +
                              (flashable ? "" : "; download refuses it"),
                          "\"name\":" + JsonQuote(name) +
                              ",\"hex\":true,\"findings\":" + std::to_string(findings.size()) +
                              ",\"valid\":" + (flashable ? "true" : "false"));
  return flashable;
}

}  // namespace

int RunImageCommand(const std::string& source, EventPrinter& printer) {
  if (source == "builtin") {
    bool allMatch = true;
    for (const auto& [id, name] : {std::pair{kUsbImageId, "USB"}, std::pair{kDspImageId, "DSP"}}) {
      allMatch =
          PrintImage(std::to_string(id) + " (" + name + ")", LoadBuiltInImage(id), printer) &&
          allMatch;
    }
    return allMatch ? kExitDone : kExitFailed;
  }
  std::vector<std::uint8_t> bytes;
  std::string error;
  if (!ReadWholeFile(source, bytes, error)) {
    std::cerr << "kr35ctl: " << error << "\n";
    return kExitUsage;
  }
  if (LooksLikeHex(bytes))
    return PrintHexFindings(source, bytes, printer) ? kExitDone : kExitFailed;
  return PrintImage(source, bytes, printer) ? kExitDone : kExitFailed;
}

int RunConvertCommand(const std::string& usbHex, const std::string& dspHex,
                      const std::string& outputDir, EventPrinter& printer) {
  if (usbHex.empty() && dspHex.empty()) {
    std::cerr << "kr35ctl: convert needs --usb=HEX, --dsp=HEX or both\n";
    return kExitUsage;
  }
  // Every named file is read before anything is written, so an unreadable
  // file leaves no dump behind.
  std::vector<HexInput> inputs;
  std::string error;
  if (!ReadHexInputs(dspHex, usbHex, HexInputRule::kAllowEmpty, inputs, error)) {
    std::cerr << "kr35ctl: " << error << "\n";
    return kExitUsage;
  }
  bool allConverted = true;
  std::vector<FileToWrite> dumps;
  for (const HexInput& input : inputs) {
    if (input.file.empty) {
      std::cerr << "kr35ctl: " << EmptyFileText(input.path) << "\n";
      allConverted = false;
      continue;
    }
    dumps.push_back(
        {std::filesystem::path(outputDir) / DumpFileName(input.part), input.file.Image()});
  }
  // Both dumps are written before either replaces its old file, so the pair
  // on disk is always from one run.
  if (!WriteFilesAtomically(dumps, error)) {
    std::cerr << "kr35ctl: " << error << "\n";
    return kExitFailed;
  }
  for (const FileToWrite& dump : dumps) {
    const std::string name = dump.path.filename().string();
    printer.PrintWithFields(
        "dump", name + ": " + std::to_string(dump.bytes.size()) + " bytes",
        "\"file\":" + JsonQuote(name) + ",\"bytes\":" + std::to_string(dump.bytes.size()));
  }
  printer.Print("info", FullModeVerdictText(allConverted));
  return allConverted ? kExitDone : kExitFailed;
}

}  // namespace kr35
