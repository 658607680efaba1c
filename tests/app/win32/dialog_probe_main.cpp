// kr35-dialog-probe.exe: looks at a running program's dialog from outside,
// for the smoke run of kr35-download.exe under Wine (scripts/windows-smoke.sh).
//
//   kr35-dialog-probe text TITLE CONTROL_ID EXPECTED
//       exit 0 when a visible dialog titled TITLE exists and its control shows
//       EXPECTED; prints the control's text and the window's screen rectangle
//       as "x y width height"
//   kr35-dialog-probe close TITLE
//       asks that dialog to close (WM_CLOSE); exit 0 when it was found
#include <cstdio>
#include <cstdlib>
#include <string>

#include "hid/win32/windows_headers.h"

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
  if (command == "close" && argc == 3) return Close(argv[2]);
  std::fputs("usage: kr35-dialog-probe text TITLE CONTROL_ID EXPECTED | close TITLE\n", stderr);
  return 2;
}
