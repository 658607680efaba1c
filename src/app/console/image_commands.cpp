#include "app/console/image_commands.h"

#include <cstdio>
#include <iostream>
#include <vector>

#include "app/console/exit_status.h"
#include "app/hex_download_file.h"
#include "firmware/builtin_images.h"
#include "firmware/file_io.h"
#include "firmware/firmware_image.h"

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
  std::vector<std::pair<FirmwarePart, HexFileImage>> images;
  for (const auto& [path, part] :
       {std::pair{dspHex, FirmwarePart::kDsp}, std::pair{usbHex, FirmwarePart::kUsb}}) {
    if (path.empty()) continue;
    HexFileImage file = ReadHexFileImage(path, part);
    if (!file.readable) {
      std::cerr << "kr35ctl: " << file.error << "\n";
      return kExitUsage;
    }
    images.emplace_back(part, std::move(file));
  }
  bool allConverted = true;
  for (const auto& [part, file] : images) {
    if (file.empty) {
      allConverted = false;
      continue;
    }
    std::string error;
    if (!WriteDumpFile(outputDir, part, file.Image(), error)) {
      std::cerr << "kr35ctl: " << error << "\n";
      return kExitFailed;
    }
    const std::string name(DumpFileName(part));
    printer.PrintWithFields(
        "dump", name + ": " + std::to_string(file.Image().size()) + " bytes",
        "\"file\":" + JsonQuote(name) + ",\"bytes\":" + std::to_string(file.Image().size()));
  }
  printer.Print("info", allConverted ? "Success!" : "Fail!");
  return allConverted ? kExitDone : kExitFailed;
}

}  // namespace kr35
