// The standard dialog on the Win32 host and the simulated adapter, end to
// end: the window's controls after start-up, a whole download through the
// message boxes, and the refresh after the adapter restarts.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "services/platform_services.h"
#include "app/dialog_ids.h"
#include "app/standard_dialog.h"
#include "app/ui_resources.h"
#include "app/win32/dialog_answerer.h"
#include "app/win32/win32_dialog_host.h"

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

class Win32StandardDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The simulated adapter without report latency, back 1 ms after its restart.
    scenario_ = std::filesystem::temp_directory_path() /
                ("kr35_win32_scenario_" + std::to_string(GetCurrentProcessId()) + ".json");
    std::ofstream(scenario_) << R"({"hid": {"latency_ms": 0, "restart_ms": 1}})";
    ServiceOptions options;
    options.simulate = true;
    options.scenarioPath = scenario_.string();
    std::string error;
    services_ = PlatformServices::Create(options, error);
    ASSERT_NE(services_, nullptr) << error;
    const DialogEnvironment environment{services_->Hid(), services_->Notifications(),
                                        services_->Mixer()};
    dialog_ = std::make_unique<StandardDialog>(host_, environment);
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
  std::unique_ptr<StandardDialog> dialog_;
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

}  // namespace
}  // namespace kr35
