// The standard dialog on the Win32 host and the simulated adapter, end to
// end: the window's controls after start-up, a whole download through the
// message boxes, the refresh after the adapter restarts, and the window kept
// alive during a download.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/dialog_ids.h"
#include "app/standard_dialog.h"
#include "app/ui_resources.h"
#include "app/win32/dialog_answerer.h"
#include "app/win32/win32_dialog_host.h"
#include "services/platform_services.h"

namespace kr35 {
namespace {

using test::DialogAnswerer;

// Handles this thread's messages until `done` holds or `limit` passes,
// waiting for messages rather than sleeping.
template <typename Done>
bool DispatchUntil(Done done, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left.count()), QS_ALLINPUT);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  }
  return true;
}

class RecordingStandardDialog : public StandardDialog {
 public:
  using StandardDialog::StandardDialog;
  void OnCommand(int controlId) override {
    commands.push_back(controlId);
    StandardDialog::OnCommand(controlId);
  }
  void OnMessage(const DialogMessage& message) override {
    if (message.message == WM_HID_EVENT) {
      hidUsages.push_back(message.lParam);
      infoAtHidEvent.push_back(InfoText());
    }
    StandardDialog::OnMessage(message);
  }
  std::vector<int> commands;
  std::vector<std::intptr_t> hidUsages;
  std::vector<std::string> infoAtHidEvent;
};

class Win32StandardDialogTest : public ::testing::Test {
 protected:
  // The simulated adapter without report latency, back 1 ms after its restart.
  void SetUp() override { Start(0); }
  void Start(int latencyMs) {
    scenario_ = std::filesystem::temp_directory_path() /
                ("kr35_win32_scenario_" + std::to_string(GetCurrentProcessId()) + ".json");
    std::ofstream(scenario_) << R"({"hid": {"latency_ms": )" << latencyMs
                             << R"(, "restart_ms": 1}})";
    ServiceOptions options;
    options.simulate = true;
    options.scenarioPath = scenario_.string();
    std::string error;
    services_ = PlatformServices::Create(options, error);
    ASSERT_NE(services_, nullptr) << error;
    DialogEnvironment environment{services_->Hid(), services_->Notifications(), services_->Mixer()};
    environment.clock = &host_.WaitClock();
    dialog_ = std::make_unique<RecordingStandardDialog>(host_, environment);
    window_ = host_.CreateModeless(*dialog_);
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override {
    host_.Destroy();
    dialog_.reset();
    services_.reset();
    std::filesystem::remove(scenario_);
  }

  std::filesystem::path scenario_;
  std::unique_ptr<PlatformServices> services_;
  Win32DialogHost host_;
  std::unique_ptr<RecordingStandardDialog> dialog_;
  HWND window_ = nullptr;
};

TEST_F(Win32StandardDialogTest, StartsWithTheAdaptersVersionsAndEnabledButtons) {
  EXPECT_EQ(host_.GetControlText(kVersionLine), "USB 0100, DSP 0100");
  EXPECT_EQ(host_.GetControlText(kInfoLine), "");
  EXPECT_EQ(host_.GetControlText(kAvailableVersionsLine),
            "Firmware versions available for download: USB 0104, DSP 0107 \n"
            "Click here to download new firmware to your hardware.");
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window_, kVersionButton)));
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window_, kDownloadButton)));
}

TEST_F(Win32StandardDialogTest, CancelAtTheConfirmationSendsNothing) {
  DialogAnswerer answerer({IDCANCEL});
  SendMessageA(window_, WM_COMMAND, MAKEWPARAM(kDownloadButton, BN_CLICKED), 0);
  ASSERT_EQ(answerer.boxes.size(), 1u);
  EXPECT_TRUE(answerer.boxes[0].Shows(LoadResourceString(kConfirmDownloadString)));
  EXPECT_EQ(host_.GetControlText(kInfoLine), "");
  EXPECT_EQ(host_.WaitCursorDepth(), 0);
}

TEST_F(Win32StandardDialogTest, DownloadsBothImagesAndShowsTheNewVersionsAfterTheRestart) {
  DialogAnswerer answerer({IDOK, IDOK});
  std::vector<std::string> infoLineAtEachBox;
  answerer.onBox = [&](HWND) { infoLineAtEachBox.push_back(host_.GetControlText(kInfoLine)); };
  SendMessageA(window_, WM_COMMAND, MAKEWPARAM(kDownloadButton, BN_CLICKED), 0);
  ASSERT_EQ(answerer.boxes.size(), 2u);
  EXPECT_TRUE(answerer.boxes[1].Shows("Firmware download successful!"));
  EXPECT_EQ(answerer.boxes[1].caption, "kr35_win32_host_tests");
  // The last transfer text stands behind the success box.
  EXPECT_EQ(infoLineAtEachBox, (std::vector<std::string>{"", "100 percent"}));
  EXPECT_EQ(host_.WaitCursorDepth(), 0);
  // The adapter restarts on its new firmware; the device notices, handled
  // while the box is up or afterwards, refresh the dialog.
  EXPECT_TRUE(
      DispatchUntil([&] { return host_.GetControlText(kVersionLine) == "USB 0104, DSP 0107"; },
                    std::chrono::seconds(10)))
      << host_.GetControlText(kVersionLine);
}

// Invalidates the window, from another thread, and waits until its thread
// has painted it (no update region left). Milliseconds, or -1 after a second.
long long TimeToPaint(HWND window) {
  const auto start = std::chrono::steady_clock::now();
  InvalidateRect(window, nullptr, FALSE);
  while (std::chrono::steady_clock::now() - start < std::chrono::seconds(1)) {
    if (!GetUpdateRect(window, nullptr, FALSE)) {
      return std::chrono::duration_cast<std::chrono::milliseconds>(
                 std::chrono::steady_clock::now() - start)
          .count();
    }
    Sleep(1);
  }
  return -1;
}

class Win32SlowAdapterTest : public Win32StandardDialogTest {
 protected:
  void SetUp() override { Start(5); }  // 5 ms per report: the download takes seconds
};

// During the download the window is painted when asked and takes no input;
// button events posted meanwhile are handled after the transfers, in order.
TEST_F(Win32SlowAdapterTest, KeepsTheWindowAliveDuringADownload) {
  ShowWindow(window_, SW_SHOW);
  UpdateWindow(window_);
  DialogAnswerer answerer({IDOK, IDOK});
  std::thread user;
  std::atomic<bool> downloadEnded{false};
  bool inputDuringDownload = false;
  long long paintedAfterMs = -1;
  std::chrono::nanoseconds longestGap{0};
  answerer.onBox = [&](HWND) {
    if (answerer.boxes.size() == 1) {
      downloadEnded = true;
      longestGap = host_.WaitClock().LongestGap();
      return;
    }
    host_.WaitClock().ResetLongestGap();
    user = std::thread([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      HWND version = GetDlgItem(window_, kVersionButton);
      PostMessageA(version, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
      PostMessageA(version, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
      PostMessageA(window_, WM_KEYDOWN, VK_RETURN, 0);
      PostMessageA(window_, WM_KEYDOWN, VK_ESCAPE, 0);
      PostMessageA(window_, WM_NCLBUTTONDOWN, HTCLOSE, 0);
      PostMessageA(window_, WM_NCLBUTTONUP, HTCLOSE, 0);
      host_.Post({WM_HID_EVENT, 0x0C, 0xE9});
      host_.Post({WM_HID_EVENT, 0x0C, 0xEA});
      host_.Post({WM_HID_EVENT, 0x0C, 0x01});
      paintedAfterMs = TimeToPaint(window_);
      inputDuringDownload = !downloadEnded;
    });
  };
  SendMessageA(window_, WM_COMMAND, MAKEWPARAM(kDownloadButton, BN_CLICKED), 0);
  user.join();
  ASSERT_EQ(answerer.boxes.size(), 2u);
  EXPECT_TRUE(answerer.boxes[1].Shows("Firmware download successful!"));
  DispatchUntil([&] { return dialog_->hidUsages.size() >= 3; }, std::chrono::seconds(5));

  EXPECT_TRUE(inputDuringDownload);
  EXPECT_TRUE(IsWindow(window_));
  EXPECT_EQ(dialog_->commands, std::vector<int>{kDownloadButton});
  EXPECT_EQ(dialog_->hidUsages, (std::vector<std::intptr_t>{0xE9, 0xEA, 0x01}));
  for (const std::string& info : dialog_->infoAtHidEvent) EXPECT_EQ(info, "100 percent");
  std::printf("expose painted after %lld ms; longest event-loop gap during the download: %.1f ms\n",
              paintedAfterMs, std::chrono::duration<double, std::milli>(longestGap).count());
  EXPECT_GE(paintedAfterMs, 0);
  EXPECT_LE(paintedAfterMs, 100);
}

}  // namespace
}  // namespace kr35
