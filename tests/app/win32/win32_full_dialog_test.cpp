// The FULL dialog on the Win32 host and the simulated adapter: paths typed
// into the edit boxes drive the download, the dump and the file error box.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "services/platform_services.h"
#include "app/dialog_ids.h"
#include "app/full_dialog.h"
#include "app/win32/dialog_answerer.h"
#include "app/win32/win32_dialog_host.h"
#include "firmware/intel_hex_writer.h"

namespace kr35 {
namespace {

using test::DialogAnswerer;
namespace fs = std::filesystem;

class Win32FullDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ =
        fs::temp_directory_path() / ("kr35_win32_full_" + std::to_string(GetCurrentProcessId()));
    fs::create_directories(root_);
    previous_ = fs::current_path();
    fs::current_path(root_);  // where the dump files go
    std::ofstream(root_ / "scenario.json") << R"({"hid": {"latency_ms": 0, "restart_ms": 1}})";
    ServiceOptions options;
    options.simulate = true;
    options.scenarioPath = (root_ / "scenario.json").string();
    std::string error;
    services_ = PlatformServices::Create(options, error);
    ASSERT_NE(services_, nullptr) << error;
  }
  void TearDown() override {
    host_.Destroy();
    dialog_.reset();
    services_.reset();
    fs::current_path(previous_);
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  HWND Open(const std::string& parameter) {
    const DialogEnvironment environment{services_->Hid(), services_->Notifications(),
                                        services_->Mixer()};
    dialog_ = std::make_unique<FullDialog>(host_, environment);
    dialog_->commandLineParameter = parameter;
    return host_.CreateModeless(*dialog_);
  }

  std::string HexFile(const std::string& name, std::size_t length) {
    std::vector<std::uint8_t> payload(length);
    for (std::size_t i = 0; i < length; ++i) payload[i] = static_cast<std::uint8_t>(i * 7 + 1);
    std::ofstream(root_ / name, std::ios::binary) << WriteIntelHex(payload);
    return (root_ / name).string();
  }

  // Types the paths into the boxes, as a user would, and clicks Download.
  void Download(HWND window, const std::string& dsp, const std::string& usb) {
    SetDlgItemTextA(window, kDspPathBox, dsp.c_str());
    SetDlgItemTextA(window, kUsbPathBox, usb.c_str());
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(kDownloadButton, BN_CLICKED), 0);
  }

  fs::path root_;
  fs::path previous_;
  std::unique_ptr<PlatformServices> services_;
  Win32DialogHost host_;
  std::unique_ptr<FullDialog> dialog_;
};

TEST_F(Win32FullDialogTest, DownloadsTheTypedUsbFile) {
  HWND window = Open("full");
  ASSERT_NE(window, nullptr);
  Download(window, "", HexFile("usb.hex", 100));
  EXPECT_EQ(host_.GetControlText(kInfoLine), "Success!");
  EXPECT_EQ(host_.WaitCursorDepth(), 0);
  EXPECT_FALSE(fs::exists(root_ / "USBFileDump.bin"));
}

TEST_F(Win32FullDialogTest, SaveAsResFileWritesBothDumpsAndKeepsThePaths) {
  HWND window = Open("saveasresfile");
  ASSERT_NE(window, nullptr);
  const std::string dsp = HexFile("dsp.hex", 68);
  const std::string usb = HexFile("usb.hex", 40);
  Download(window, dsp, usb);
  EXPECT_EQ(host_.GetControlText(kInfoLine), "Success!");
  EXPECT_GT(fs::file_size(root_ / "DSPFileDump.bin"), 8u);
  EXPECT_EQ(fs::file_size(root_ / "USBFileDump.bin"), 8u + 40u);
  EXPECT_EQ(host_.GetControlText(kDspPathBox), dsp);
  EXPECT_EQ(host_.GetControlText(kUsbPathBox), usb);
}

TEST_F(Win32FullDialogTest, UnreadableDspFileStopsWithAnErrorBox) {
  HWND window = Open("saveasresfile");
  ASSERT_NE(window, nullptr);
  DialogAnswerer answerer({IDOK});
  Download(window, (root_ / "missing.hex").string(), HexFile("usb.hex", 40));
  ASSERT_EQ(answerer.boxes.size(), 1u);
  EXPECT_EQ(answerer.boxes[0].caption, "kr35_win32_host_tests");
  EXPECT_NE(host_.GetControlText(kInfoLine), "Success!");
  EXPECT_NE(host_.GetControlText(kInfoLine), "Fail!");
  EXPECT_FALSE(fs::exists(root_ / "USBFileDump.bin"));  // the USB file is not processed
  EXPECT_EQ(host_.WaitCursorDepth(), 0);
}

}  // namespace
}  // namespace kr35
