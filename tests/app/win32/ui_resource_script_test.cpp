// The dialog templates and the string table compiled into the program from
// the generated resource script match resources/ui.json, the description the
// other hosts and the controllers read.
#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>

#include "app/dialog_ids.h"
#include "app/ui_resources.h"
#include "app/win32/dialog_resource_reader.h"
#include "hid/win32/windows_headers.h"

namespace kr35 {
namespace {

using test::CompiledControl;
using test::CompiledDialog;
using test::ReadDialogResource;

std::span<const std::uint8_t> DialogResourceBytes(int id) {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5));  // RT_DIALOG
  if (found == nullptr) return {};
  HGLOBAL loaded = LoadResource(module, found);
  const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (data == nullptr) return {};
  return {static_cast<const std::uint8_t*>(data), SizeofResource(module, found)};
}

std::uint16_t ClassAtomFor(ControlKind kind) {
  switch (kind) {
    case ControlKind::kPushButton:
      return 0x80;
    case ControlKind::kEditBox:
      return 0x81;
    case ControlKind::kStaticText:
      return 0x82;
  }
  return 0;
}

class DialogTemplateTest : public ::testing::TestWithParam<int> {};

TEST_P(DialogTemplateTest, MatchesTheDescription) {
  const DialogTemplate* expected = FindDialogTemplate(GetParam());
  ASSERT_NE(expected, nullptr);
  const auto compiled = ReadDialogResource(DialogResourceBytes(GetParam()));
  ASSERT_TRUE(compiled.has_value()) << "no readable DIALOG resource " << GetParam();

  EXPECT_EQ(compiled->title, expected->title);
  EXPECT_EQ(compiled->width, expected->width);
  EXPECT_EQ(compiled->height, expected->height);
  EXPECT_EQ(compiled->fontName, expected->fontName);
  EXPECT_EQ(compiled->fontPointSize, expected->fontPointSize);
  const DWORD style = compiled->style;
  EXPECT_TRUE(style & WS_POPUP);
  EXPECT_EQ((style & WS_CAPTION) == WS_CAPTION, expected->caption);
  EXPECT_EQ((style & WS_SYSMENU) != 0, expected->systemMenu);
  EXPECT_EQ((style & DS_MODALFRAME) != 0, expected->modalFrame);

  ASSERT_EQ(compiled->controls.size(), expected->controls.size());
  for (std::size_t i = 0; i < expected->controls.size(); ++i) {
    const ControlTemplate& want = expected->controls[i];
    const CompiledControl& got = compiled->controls[i];
    SCOPED_TRACE("control " + std::to_string(i) + " id " + std::to_string(want.id));
    EXPECT_EQ(got.id, want.id);
    EXPECT_EQ(got.classAtom, ClassAtomFor(want.kind));
    EXPECT_EQ(got.text, want.text);
    EXPECT_EQ(got.x, want.x);
    EXPECT_EQ(got.y, want.y);
    EXPECT_EQ(got.width, want.width);
    EXPECT_EQ(got.height, want.height);
    EXPECT_TRUE(got.style & WS_VISIBLE);
    switch (want.kind) {
      case ControlKind::kPushButton:
        EXPECT_EQ(got.style & 0xF, static_cast<DWORD>(BS_PUSHBUTTON));
        EXPECT_TRUE(got.style & WS_TABSTOP);
        break;
      case ControlKind::kStaticText:
        EXPECT_EQ(got.style & SS_TYPEMASK, static_cast<DWORD>(SS_LEFT));
        break;
      case ControlKind::kEditBox:
        EXPECT_EQ((got.style & WS_BORDER) != 0, want.border);
        EXPECT_EQ((got.style & ES_AUTOHSCROLL) != 0, want.autoHScroll);
        EXPECT_TRUE(got.style & WS_TABSTOP);
        break;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(BothDialogs, DialogTemplateTest,
                         ::testing::Values(kStandardDialogId, kFullDialogId));

TEST(StringTableTest, HoldsTheDescriptionsStrings) {
  for (int id : {kAboutMenuString, kConfirmDownloadString, kDownloadSucceededString,
                 kDownloadFailedString, kAvailableVersionsString}) {
    SCOPED_TRACE(id);
    char text[512] = {};
    const int length = LoadStringA(GetModuleHandleA(nullptr), static_cast<UINT>(id), text,
                                   static_cast<int>(sizeof text));
    const std::string expected = LoadResourceString(id);
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(std::string(text, static_cast<std::size_t>(length)), expected);
  }
}

}  // namespace
}  // namespace kr35
