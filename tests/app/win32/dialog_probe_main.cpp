// kr35-dialog-probe.exe: looks at a running program's dialog from outside,
// for the smoke run of kr35-download.exe under Wine (scripts/windows-smoke.sh).
//
//   kr35-dialog-probe text TITLE CONTROL_ID EXPECTED
//       exit 0 when a visible dialog titled TITLE exists and its control shows
//       EXPECTED; prints the control's text and the window's screen rectangle
//       as "x y width height"
//   kr35-dialog-probe layout TITLE PROGRAM TEMPLATE_ID
//       prints the DPI, the dialog font of template TEMPLATE_ID in the
//       executable PROGRAM and the dialog base units it gives, then one line
//       per text control: its size in dialog units and in pixels (and whether
//       the one follows from the other through those base units), the size
//       its text needs in that font, wrapped as a static control wraps it,
//       and "fits" or "CLIPPED"; exit 0 when the dialog was found
//   kr35-dialog-probe close TITLE
//       asks that dialog to close (WM_CLOSE); exit 0 when it was found
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "app/win32/dialog_resource_reader.h"
#include "hid/win32/windows_headers.h"
#include "win32/utf16.h"

namespace {

HWND FindDialog(const char* title) {
  HWND window = FindWindowA("#32770", title);  // the dialog window class
  return window != nullptr && IsWindowVisible(window) ? window : nullptr;
}

int CheckText(const char* title, int controlId, const std::string& expected) {
  HWND window = FindDialog(title);
  if (window == nullptr) {
    std::printf("no visible dialog \"%s\"\n", title);
    return 1;
  }
  char text[1024] = {};
  GetDlgItemTextA(window, controlId, text, sizeof text);
  RECT rect{};
  GetWindowRect(window, &rect);
  std::printf("%s\n%ld %ld %ld %ld\n", text, rect.left, rect.top, rect.right - rect.left,
              rect.bottom - rect.top);
  return expected == text ? 0 : 1;
}

// The compiled dialog template TEMPLATE_ID of the executable PROGRAM.
std::optional<kr35::test::CompiledDialog> ReadTemplate(const char* program, int templateId) {
  HMODULE module = LoadLibraryExW(kr35::Utf16FromUtf8(program).c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (module == nullptr) return std::nullopt;
  std::optional<kr35::test::CompiledDialog> dialog;
  // Type 5: RT_DIALOG, whose macro is the ANSI spelling here.
  if (HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(templateId), MAKEINTRESOURCEW(5))) {
    if (HGLOBAL loaded = LoadResource(module, resource)) {
      const auto* bytes = static_cast<const std::uint8_t*>(LockResource(loaded));
      dialog = kr35::test::ReadDialogResource({bytes, SizeofResource(module, resource)});
    }
  }
  FreeLibrary(module);
  return dialog;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM found) {
  if (GetParent(window) == GetAncestor(window, GA_ROOT)) {
    reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
  }
  return TRUE;
}

int Layout(const char* title, const char* program, int templateId) {
  HWND dialog = FindDialog(title);
  const auto compiled = ReadTemplate(program, templateId);
  if (dialog == nullptr || !compiled) {
    std::printf("no visible dialog \"%s\" or no template %d in %s\n", title, templateId, program);
    return 1;
  }
  // The dialog font as the dialog manager makes it from the template's FONT
  // statement (the program's own font handle is of no use in this process),
  // and the dialog base units that follow from it.
  HDC dc = GetDC(nullptr);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  const std::wstring face = kr35::Utf16FromUtf8(compiled->fontName);
  HFONT font = CreateFontW(-MulDiv(compiled->fontPointSize, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE,
                           FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                           DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face.c_str());
  HGDIOBJ previous = SelectObject(dc, font);
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  SIZE alphabet{};
  GetTextExtentPoint32W(dc, L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52, &alphabet);
  const int baseX = (alphabet.cx / 26 + 1) / 2;
  const int baseY = metrics.tmHeight;
  std::printf("dpi %d, font \"%s\" %d pt: %ld pixels high, dialog base units %dx%d\n", dpi,
              compiled->fontName.c_str(), compiled->fontPointSize, metrics.tmHeight, baseX, baseY);

  // The controls are the dialog's children in the template's order.
  std::vector<HWND> children;
  EnumChildWindows(dialog, CollectChild, reinterpret_cast<LPARAM>(&children));
  if (children.size() != compiled->controls.size()) {
    std::printf("the dialog has %zu controls, its template %zu\n", children.size(),
                compiled->controls.size());
  }
  for (std::size_t i = 0; i < children.size() && i < compiled->controls.size(); ++i) {
    const kr35::test::CompiledControl& control = compiled->controls[i];
    const bool isStatic = control.classAtom == 0x82;
    if (control.text.empty() || (!isStatic && control.classAtom != 0x80)) continue;
    RECT client{};
    GetClientRect(children[i], &client);
    const long expectedWidth = MulDiv(control.width, baseX, 4);
    const long expectedHeight = MulDiv(control.height, baseY, 8);
    const std::wstring text = kr35::Utf16FromUtf8(control.text);
    RECT needed{0, 0, client.right, 0};
    DrawTextW(dc, text.c_str(), -1, &needed,
              DT_CALCRECT | DT_EXPANDTABS | (isStatic ? DT_WORDBREAK : DT_SINGLELINE));
    const bool fits = needed.right <= client.right && needed.bottom <= client.bottom;
    std::printf(
        "control %d: %dx%d dialog units, %ldx%ld pixels (%s), its text needs %ldx%ld: %s "
        "(\"%s\")\n",
        control.id, control.width, control.height, client.right, client.bottom,
        client.right == expectedWidth && client.bottom == expectedHeight
            ? "as the font's base units give"
            : "NOT as the font's base units give",
        needed.right, needed.bottom, fits ? "fits" : "CLIPPED", control.text.substr(0, 40).c_str());
  }
  SelectObject(dc, previous);
  DeleteObject(font);
  ReleaseDC(nullptr, dc);
  return 0;
}

int Close(const char* title) {
  HWND window = FindDialog(title);
  if (window == nullptr) return 1;
  PostMessageA(window, WM_CLOSE, 0, 0);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "text" && argc == 5) return CheckText(argv[2], std::atoi(argv[3]), argv[4]);
  if (command == "layout" && argc == 5) return Layout(argv[2], argv[3], std::atoi(argv[4]));
  if (command == "close" && argc == 3) return Close(argv[2]);
  std::fputs(
      "usage: kr35-dialog-probe text TITLE CONTROL_ID EXPECTED | layout TITLE PROGRAM TEMPLATE_ID "
      "| "
      "close TITLE\n",
      stderr);
  return 2;
}
