// Reads a DIALOG template resource (DLGTEMPLATE and its DLGITEMTEMPLATEs)
// back into its fields, so tests can compare the compiled templates with
// resources/ui.json. Bounded: a truncated template yields nullopt.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kr35::test {

struct CompiledControl {
  std::uint32_t style = 0;
  int x = 0, y = 0, width = 0, height = 0;
  int id = 0;                   // the 16-bit id, sign-extended (0xFFFF reads as -1)
  std::uint16_t classAtom = 0;  // 0x80 button, 0x81 edit, 0x82 static
  std::string text;
};

struct CompiledDialog {
  std::uint32_t style = 0;
  int x = 0, y = 0, width = 0, height = 0;
  std::string title;
  int fontPointSize = 0;
  std::string fontName;
  std::vector<CompiledControl> controls;
};

std::optional<CompiledDialog> ReadDialogResource(std::span<const std::uint8_t> bytes);

}  // namespace kr35::test
