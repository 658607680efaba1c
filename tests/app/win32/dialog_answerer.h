// Answers the dialog boxes this thread opens (message boxes, the file-open
// dialog) in turn, once each is set up, and records what each showed. Lets
// tests run code that blocks in a modal box without a person or a sleep.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "hid/win32/windows_headers.h"

namespace kr35::test {

inline std::string WindowText(HWND window) {
  char text[1024] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

struct AnsweredBox {
  std::string caption;
  std::vector<std::string> texts;  // of its child windows
  HWND owner = nullptr;

  bool Shows(const std::string& text) const {
    for (const std::string& shown : texts) {
      if (shown == text) return true;
    }
    return false;
  }
};

class DialogAnswerer {
 public:
  // One command id (IDOK, IDCANCEL, IDRETRY, ...) per box, in order; boxes
  // beyond the list are left alone.
  explicit DialogAnswerer(std::vector<int> answers) : answers_(std::move(answers)) {
    instance_ = this;
    hook_ = SetWindowsHookExA(WH_CALLWNDPROCRET, &Hook, nullptr, GetCurrentThreadId());
  }
  ~DialogAnswerer() {
    UnhookWindowsHookEx(hook_);
    instance_ = nullptr;
  }
  DialogAnswerer(const DialogAnswerer&) = delete;
  DialogAnswerer& operator=(const DialogAnswerer&) = delete;

  std::vector<AnsweredBox> boxes;
  // Called for each answered box before it is answered, while it is up.
  std::function<void(HWND box)> onBox;

 private:
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
    const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && instance_ != nullptr && call->message == WM_INITDIALOG) {
      instance_->Answer(call->hwnd);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }

  void Answer(HWND box) {
    if (boxes.size() >= answers_.size()) return;
    AnsweredBox seen;
    seen.caption = WindowText(box);
    seen.owner = GetWindow(box, GW_OWNER);
    EnumChildWindows(
        box,
        [](HWND child, LPARAM texts) -> BOOL {
          reinterpret_cast<std::vector<std::string>*>(texts)->push_back(WindowText(child));
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&seen.texts));
    if (onBox) onBox(box);
    const int answer = answers_[boxes.size()];
    boxes.push_back(std::move(seen));
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
  }

  static inline DialogAnswerer* instance_ = nullptr;
  HHOOK hook_ = nullptr;
  std::vector<int> answers_;
};

}  // namespace kr35::test
