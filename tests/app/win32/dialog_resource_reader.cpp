#include "app/win32/dialog_resource_reader.h"

#include <cstddef>

namespace kr35::test {
namespace {

constexpr std::uint32_t kDsSetFont = 0x40;

class Cursor {
 public:
  explicit Cursor(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  bool Word(std::uint16_t& value) {
    if (offset_ + 2 > bytes_.size()) return false;
    value = static_cast<std::uint16_t>(bytes_[offset_] | bytes_[offset_ + 1] << 8);
    offset_ += 2;
    return true;
  }
  bool Short(int& value) {
    std::uint16_t word = 0;
    if (!Word(word)) return false;
    value = static_cast<std::int16_t>(word);
    return true;
  }
  bool Dword(std::uint32_t& value) {
    std::uint16_t low = 0, high = 0;
    if (!Word(low) || !Word(high)) return false;
    value = low | std::uint32_t{high} << 16;
    return true;
  }
  // A zero-terminated UTF-16 text of ASCII characters ('?' for others).
  bool Text(std::string& text) {
    text.clear();
    for (std::uint16_t c = 0; Word(c);) {
      if (c == 0) return true;
      text.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    }
    return false;
  }
  // A text or, after 0xFFFF, an ordinal.
  bool TextOrOrdinal(std::string& text, std::uint16_t& ordinal) {
    std::uint16_t first = 0;
    if (!Word(first)) return false;
    if (first == 0xFFFF) return Word(ordinal);
    offset_ -= 2;
    ordinal = 0;
    return Text(text);
  }
  void AlignDword() { offset_ = (offset_ + 3) & ~std::size_t{3}; }
  bool Skip(std::size_t count) {
    if (offset_ + count > bytes_.size()) return false;
    offset_ += count;
    return true;
  }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t offset_ = 0;
};

bool ReadControl(Cursor& cursor, CompiledControl& control) {
  cursor.AlignDword();
  std::uint32_t extendedStyle = 0;
  std::uint16_t id = 0, extra = 0;
  std::string className, ignored;
  std::uint16_t titleOrdinal = 0;
  if (!cursor.Dword(control.style) || !cursor.Dword(extendedStyle) || !cursor.Short(control.x) ||
      !cursor.Short(control.y) || !cursor.Short(control.width) || !cursor.Short(control.height) ||
      !cursor.Word(id) || !cursor.TextOrOrdinal(className, control.classAtom) ||
      !cursor.TextOrOrdinal(control.text, titleOrdinal) || !cursor.Word(extra)) {
    return false;
  }
  control.id = static_cast<std::int16_t>(id);
  return cursor.Skip(extra);
}

}  // namespace

std::optional<CompiledDialog> ReadDialogResource(std::span<const std::uint8_t> bytes) {
  Cursor cursor(bytes);
  CompiledDialog dialog;
  std::uint32_t extendedStyle = 0;
  std::uint16_t count = 0, menuOrdinal = 0, classOrdinal = 0;
  std::string menu, className;
  if (!cursor.Dword(dialog.style) || !cursor.Dword(extendedStyle) || !cursor.Word(count) ||
      !cursor.Short(dialog.x) || !cursor.Short(dialog.y) || !cursor.Short(dialog.width) ||
      !cursor.Short(dialog.height) || !cursor.TextOrOrdinal(menu, menuOrdinal) ||
      !cursor.TextOrOrdinal(className, classOrdinal) || !cursor.Text(dialog.title)) {
    return std::nullopt;
  }
  if (dialog.style & kDsSetFont) {
    if (!cursor.Short(dialog.fontPointSize) || !cursor.Text(dialog.fontName)) return std::nullopt;
  }
  for (std::uint16_t i = 0; i < count; ++i) {
    CompiledControl control;
    if (!ReadControl(cursor, control)) return std::nullopt;
    dialog.controls.push_back(std::move(control));
  }
  return dialog;
}

}  // namespace kr35::test
