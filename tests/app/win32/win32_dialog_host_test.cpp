// The Win32 dialog host on real windows (under Wine in the cross-build):
// controls from the templates, texts, enabling, the system menu, icons, the
// queue, clicks and closing, the wait cursor, message boxes and the modal run.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/dialog_ids.h"
#include "app/ui_resources.h"
#include "app/win32/dialog_answerer.h"
#include "app/win32/win32_dialog_host.h"

namespace kr35 {
namespace {

using test::DialogAnswerer;
using test::WindowText;

class RecordingController final : public DialogController {
 public:
  explicit RecordingController(int templateId) : templateId_(templateId) {}
  int TemplateId() const override { return templateId_; }
  bool OnDialogInit() override {
    ++initCount;
    if (onInit) onInit();
    return true;
  }
  void OnCommand(int controlId) override { commands.push_back(controlId); }
  void OnMessage(const DialogMessage& message) override { messages.push_back(message); }

  std::function<void()> onInit;
  int initCount = 0;
  std::vector<int> commands;
  std::vector<DialogMessage> messages;

 private:
  int templateId_;
};

// Handles what is queued for this thread's windows, without waiting.
void DispatchQueued() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

class Win32DialogHostTest : public ::testing::Test {
 protected:
  HWND Create(int templateId = kStandardDialogId) {
    controller_ = std::make_unique<RecordingController>(templateId);
    return host_.CreateModeless(*controller_);
  }

  Win32DialogHost host_;
  std::unique_ptr<RecordingController> controller_;
};

class TemplateControlsTest : public Win32DialogHostTest,
                             public ::testing::WithParamInterface<int> {};

TEST_P(TemplateControlsTest, WindowHasTheTemplatesControlsAndTexts) {
  HWND window = Create(GetParam());
  ASSERT_NE(window, nullptr);
  const DialogTemplate* description = FindDialogTemplate(GetParam());
  ASSERT_NE(description, nullptr);
  EXPECT_EQ(WindowText(window), description->title);
  EXPECT_EQ(controller_->initCount, 1);
  for (const ControlTemplate& control : description->controls) {
    if (control.id < 0) continue;
    SCOPED_TRACE(control.id);
    ASSERT_NE(GetDlgItem(window, control.id), nullptr);
    char text[512] = {};
    GetDlgItemTextA(window, control.id, text, sizeof text);
    EXPECT_EQ(text, control.text);
    EXPECT_EQ(host_.GetControlText(control.id), control.text);
  }
}

INSTANTIATE_TEST_SUITE_P(BothDialogs, TemplateControlsTest,
                         ::testing::Values(kStandardDialogId, kFullDialogId));

TEST_F(Win32DialogHostTest, WindowIsTheQueueWhileTheControllerStarts) {
  controller_ = std::make_unique<RecordingController>(kStandardDialogId);
  HWND duringInit = nullptr;
  controller_->onInit = [&] { duringInit = host_.Window(); };
  HWND window = host_.CreateModeless(*controller_);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(duringInit, window);
  EXPECT_EQ(host_.Window(), window);
}

TEST_F(Win32DialogHostTest, ControlTextsRoundTripAndRepaint) {
  HWND window = Create(kFullDialogId);
  ASSERT_NE(window, nullptr);
  const std::string longPath = "C:\\" + std::string(3000, 'x') + ".hex";
  for (const std::string& text : {std::string("DSP block 12 of 40"), std::string(), longPath}) {
    host_.SetControlText(kDspPathBox, text);
    EXPECT_EQ(host_.GetControlText(kDspPathBox), text);
  }
  host_.SetControlText(kInfoLine, "100 percent");
  EXPECT_EQ(host_.GetControlText(kInfoLine), "100 percent");
  // A non-ASCII name (UTF-8 inside the program) shows as the characters it
  // names, whatever the ANSI code page, and reads back the same.
  const std::string name = "KR35 Kopfh\xc3\xb6rer \xce\xa9";
  host_.SetControlText(kInfoLine, name);
  EXPECT_EQ(host_.GetControlText(kInfoLine), name);
  wchar_t shown[32] = {};
  GetDlgItemTextW(window, kInfoLine, shown, 32);
  EXPECT_STREQ(shown, L"KR35 Kopfh\u00f6rer \u03a9");
  // No such control: nothing happens.
  host_.SetControlText(4242, "x");
  EXPECT_EQ(host_.GetControlText(4242), "");
}

TEST_F(Win32DialogHostTest, EnablesAndDisablesControls) {
  HWND window = Create();
  ASSERT_NE(window, nullptr);
  host_.EnableControl(kDownloadButton, false);
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, kDownloadButton)));
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, kVersionButton)));
  host_.EnableControl(kDownloadButton, true);
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, kDownloadButton)));
}

TEST_F(Win32DialogHostTest, SystemMenuEndsWithASeparatorAndTheItem) {
  HWND window = Create();
  ASSERT_NE(window, nullptr);
  host_.AppendSystemMenuItem(kAboutMenuCommand, "&About KR35test...");
  HMENU menu = GetSystemMenu(window, FALSE);
  ASSERT_NE(menu, nullptr);
  const int count = GetMenuItemCount(menu);
  ASSERT_GE(count, 2);
  MENUITEMINFOA separator{};
  separator.cbSize = sizeof separator;
  separator.fMask = MIIM_FTYPE;
  ASSERT_TRUE(GetMenuItemInfoA(menu, static_cast<UINT>(count - 2), TRUE, &separator));
  EXPECT_TRUE(separator.fType & MFT_SEPARATOR);
  EXPECT_EQ(GetMenuItemID(menu, count - 1), static_cast<UINT>(kAboutMenuCommand));
  char text[64] = {};
  GetMenuStringA(menu, static_cast<UINT>(count - 1), text, sizeof text, MF_BYPOSITION);
  EXPECT_STREQ(text, "&About KR35test...");
  // Choosing it does nothing: the dialog stays.
  SendMessageA(window, WM_SYSCOMMAND, kAboutMenuCommand, 0);
  EXPECT_TRUE(IsWindow(window));
}

TEST_F(Win32DialogHostTest, SetsTheLargeAndSmallIcon) {
  HWND window = Create();
  ASSERT_NE(window, nullptr);
  host_.SetDialogIcon(kIconId);
  EXPECT_NE(SendMessageA(window, WM_GETICON, ICON_BIG, 0), 0);
  EXPECT_NE(SendMessageA(window, WM_GETICON, ICON_SMALL, 0), 0);
}

TEST_F(Win32DialogHostTest, ForwardsOnlyHidEventsAndDeviceChangesInOrder) {
  controller_ = std::make_unique<RecordingController>(kStandardDialogId);
  // Posted before the window exists: kept and posted when it is created.
  host_.Post({WM_HID_EVENT, 0x0C, 0xE2});
  ASSERT_NE(host_.CreateModeless(*controller_), nullptr);
  host_.Post({WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0});
  host_.Post({WM_USER + 1, 1, 2});  // not for the controller
  host_.Post({WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0});
  host_.Post({WM_HID_EVENT, 0x0C, 0xE9});
  DispatchQueued();
  const std::vector<std::pair<std::uint32_t, std::uintptr_t>> expected = {
      {WM_HID_EVENT, 0x0C},
      {WM_DEVICECHANGE, DBT_DEVICEARRIVAL},
      {WM_DEVICECHANGE, DBT_DEVNODES_CHANGED},
      {WM_HID_EVENT, 0x0C}};
  ASSERT_EQ(controller_->messages.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(controller_->messages[i].message, expected[i].first);
    EXPECT_EQ(controller_->messages[i].wParam, expected[i].second);
  }
  EXPECT_EQ(controller_->messages[0].lParam, 0xE2);
  EXPECT_EQ(controller_->messages[3].lParam, 0xE9);
}

TEST_F(Win32DialogHostTest, ButtonClicksGoToTheController) {
  HWND window = Create(kFullDialogId);
  ASSERT_NE(window, nullptr);
  for (int id : {kVersionButton, kDownloadButton, kUsbBrowseButton, kDspBrowseButton}) {
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
  }
  // Other notifications (an edit box's change) are not clicks.
  SendMessageA(window, WM_COMMAND, MAKEWPARAM(kUsbPathBox, EN_CHANGE),
               reinterpret_cast<LPARAM>(GetDlgItem(window, kUsbPathBox)));
  EXPECT_EQ(controller_->commands, (std::vector<int>{kVersionButton, kDownloadButton,
                                                     kUsbBrowseButton, kDspBrowseButton}));
}

TEST_F(Win32DialogHostTest, EnterDoesNotCloseButEscapeAndTheCloseBoxDo) {
  for (UINT message : {static_cast<UINT>(WM_COMMAND), static_cast<UINT>(WM_CLOSE)}) {
    HWND window = Create();
    ASSERT_NE(window, nullptr);
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_TRUE(controller_->commands.empty());
    if (message == WM_CLOSE) {
      SendMessageA(window, WM_CLOSE, 0, 0);
    } else {
      SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(host_.Window(), nullptr);
  }
}

TEST_F(Win32DialogHostTest, WaitCursorNestsAndRestoresTheCursor) {
  ASSERT_NE(Create(), nullptr);
  HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
  HCURSOR wait = LoadCursorA(nullptr, IDC_WAIT);
  SetCursor(arrow);
  host_.BeginWaitCursor();
  host_.BeginWaitCursor();
  EXPECT_EQ(host_.WaitCursorDepth(), 2);
  EXPECT_EQ(GetCursor(), wait);
  host_.EndWaitCursor();
  EXPECT_EQ(GetCursor(), wait);
  host_.EndWaitCursor();
  EXPECT_EQ(host_.WaitCursorDepth(), 0);
  EXPECT_EQ(GetCursor(), arrow);
  host_.EndWaitCursor();  // unbalanced: ignored
  EXPECT_EQ(host_.WaitCursorDepth(), 0);
  EXPECT_EQ(GetCursor(), arrow);
}

TEST(Win32ApplicationNameTest, IsTheExecutablesNameWithoutExtension) {
  EXPECT_EQ(Win32DialogHost::ApplicationName(), "kr35_win32_host_tests");
}

TEST_F(Win32DialogHostTest, MessageBoxesCarryTheApplicationNameAndReportTheButton) {
  HWND window = Create();
  ASSERT_NE(window, nullptr);
  struct Case {
    MessageBoxButtons buttons;
    int answer;
    MessageBoxResult expected;
  };
  for (const Case& c : {Case{MessageBoxButtons::kOkCancel, IDOK, MessageBoxResult::kOk},
                        Case{MessageBoxButtons::kOkCancel, IDCANCEL, MessageBoxResult::kCancel},
                        Case{MessageBoxButtons::kRetryCancel, IDRETRY, MessageBoxResult::kRetry},
                        Case{MessageBoxButtons::kRetryCancel, IDCANCEL, MessageBoxResult::kCancel},
                        Case{MessageBoxButtons::kOk, IDOK, MessageBoxResult::kOk}}) {
    DialogAnswerer answerer({c.answer});
    EXPECT_EQ(
        host_.ShowMessageBox("Firmware download failed.", MessageBoxIcon::kQuestion, c.buttons),
        c.expected);
    ASSERT_EQ(answerer.boxes.size(), 1u);
    EXPECT_EQ(answerer.boxes[0].caption, "kr35_win32_host_tests");
    EXPECT_EQ(answerer.boxes[0].owner, window);
    EXPECT_TRUE(answerer.boxes[0].Shows("Firmware download failed."));
  }
}

TEST_F(Win32DialogHostTest, CancelledFileDialogLeavesNoPath) {
  ASSERT_NE(Create(kFullDialogId), nullptr);
  DialogAnswerer answerer({IDCANCEL});
  EXPECT_EQ(host_.BrowseForFile(), std::nullopt);
  EXPECT_EQ(answerer.boxes.size(), 1u);
}

TEST(Win32DialogHostModalTest, RunsUntilClosedAndHandlesQueuedMessagesFirst) {
  Win32DialogHost host;
  RecordingController controller(kStandardDialogId);
  bool visibleDuringInit = true;
  controller.onInit = [&] {
    visibleDuringInit = IsWindowVisible(host.Window()) != FALSE;
    host.Post({WM_HID_EVENT, 0x0C, 0xE2});
    PostMessageA(host.Window(), WM_CLOSE, 0, 0);
  };
  EXPECT_EQ(host.RunModal(controller), IDCANCEL);
  EXPECT_EQ(controller.initCount, 1);
  EXPECT_FALSE(visibleDuringInit);
  ASSERT_EQ(controller.messages.size(), 1u);
  EXPECT_EQ(controller.messages[0].message, WM_HID_EVENT);
  EXPECT_EQ(host.Window(), nullptr);
}

TEST(Win32DialogHostModalTest, UnknownTemplateFails) {
  Win32DialogHost host;
  RecordingController controller(4321);
  EXPECT_EQ(host.RunModal(controller), -1);
  EXPECT_EQ(controller.initCount, 0);
}

}  // namespace
}  // namespace kr35
