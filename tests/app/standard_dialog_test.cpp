// The standard mode's Download of the built-in images, end to end through the
// HID channel and the simulated adapter.
#include "app/standard_dialog.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "app/dialog_ids.h"
#include "app/ui_resources.h"
#include "firmware/builtin_images.h"
#include "firmware/firmware_image.h"
#include "protocol/firmware_transfer.h"
#include "dialog_rig.h"

namespace kr35 {
namespace {

using namespace std::chrono_literals;

using testing::DialogRig;
using testing::Frame;

constexpr std::uint8_t kDspStart = 0x0D, kDspEnd = 0x0E, kDspBlock = 0x12, kStatusQuery = 0x94;
constexpr std::uint8_t kUsbStart = 0x0F, kUsbEnd = 0x10, kUsbBlock = 0x11, kUsbFinish = 0x13;

bool IsUsbCommand(const Frame& frame) {
  return frame[0] == kUsbStart || frame[0] == kUsbEnd || frame[0] == kUsbBlock ||
         frame[0] == kUsbFinish;
}

std::vector<int> Percentages(const std::vector<std::string>& lines, const std::string& prefix) {
  std::vector<int> values;
  for (const std::string& line : lines) {
    if (line.rfind(prefix, 0) == 0) values.push_back(std::stoi(line.substr(prefix.size())));
  }
  return values;
}

struct StandardRig : DialogRig {
  using DialogRig::DialogRig;
  StandardDialog& Open() {
    dialog = std::make_unique<StandardDialog>(host, Environment());
    dialog->OnDialogInit();
    return *dialog;
  }
  void Download() {
    host.boxes.clear();
    dialog->OnCommand(kDownloadButton);
  }
  ~StandardRig() { dialog.reset(); }
  std::unique_ptr<StandardDialog> dialog;
};

TEST(StandardDialogTest, AvailableVersionsLineCarriesTheBuiltInImageVersions) {
  StandardRig rig;
  rig.Open();
  EXPECT_EQ(rig.host.Text(kAvailableVersionsLine),
            "Firmware versions available for download: USB 0104, DSP 0107 \n"
            "Click here to download new firmware to your hardware.");
}

TEST(StandardDownloadTest, CancelAtTheConfirmationSendsNothing) {
  StandardRig rig;
  rig.Open();
  const std::size_t framesBefore = rig.ReceivedFrames().size();
  const std::size_t infoWrites = rig.host.TextHistory(kInfoLine).size();
  rig.host.answers = {MessageBoxResult::kCancel};
  rig.Download();

  ASSERT_EQ(rig.host.boxes.size(), 1u);
  EXPECT_EQ(rig.host.boxes[0].text, LoadResourceString(kConfirmDownloadString));
  EXPECT_EQ(rig.host.boxes[0].icon, MessageBoxIcon::kExclamation);
  EXPECT_EQ(rig.host.boxes[0].buttons, MessageBoxButtons::kOkCancel);
  EXPECT_EQ(rig.host.maxWaitDepth, 0);
  EXPECT_EQ(rig.host.TextHistory(kInfoLine).size(), infoWrites);
  EXPECT_EQ(rig.ReceivedFrames().size(), framesBefore);
}

// The DSP block size is the output report length minus 3; the block count,
// the last block's padding and the progress lines follow from it.
struct BlockSizeCase {
  int outputReportLength;
  std::size_t blockCount;
  std::size_t lastBlockBytes;
  int lastPercent;
};

class StandardDownloadBlockSizeTest : public ::testing::TestWithParam<BlockSizeCase> {};

TEST_P(StandardDownloadBlockSizeTest, BothPartsGoOutAndTheRestartedAdapterShowsTheNewVersions) {
  const BlockSizeCase& c = GetParam();
  StandardRig rig(R"({"hid": {"output_report_length": )" + std::to_string(c.outputReportLength) +
                  "}}");
  rig.Open();
  rig.host.answers = {MessageBoxResult::kOk};
  rig.Download();

  ASSERT_EQ(rig.host.boxes.size(), 2u);
  EXPECT_EQ(rig.host.boxes[1].text, LoadResourceString(kDownloadSucceededString));
  EXPECT_EQ(rig.host.boxes[1].icon, MessageBoxIcon::kInformation);
  EXPECT_EQ(rig.host.boxes[1].buttons, MessageBoxButtons::kOk);
  EXPECT_EQ(rig.host.Text(kInfoLine), "100 percent");
  EXPECT_EQ(rig.host.waitDepth, 0);
  EXPECT_EQ(rig.host.maxWaitDepth, 1);

  const FirmwareImage dsp(LoadBuiltInImage(kDspImageId));
  const std::vector<Frame> blocks = rig.ReceivedFrames(kDspBlock);
  ASSERT_EQ(blocks.size(), c.blockCount);
  const auto payload = dsp.Payload();
  const Frame& last = blocks.back();
  EXPECT_TRUE(std::equal(last.begin() + 1, last.begin() + 1 + c.lastBlockBytes,
                         payload.end() - static_cast<std::ptrdiff_t>(c.lastBlockBytes)));
  EXPECT_TRUE(std::all_of(last.begin() + 1 + c.lastBlockBytes, last.end(),
                          [](std::uint8_t b) { return b == 0; }));
  const std::vector<int> dspPercents =
      Percentages(rig.host.TextHistory(kInfoLine), "Download Completion: DSP ");
  ASSERT_EQ(dspPercents.size(), c.blockCount);
  EXPECT_EQ(dspPercents.back(), c.lastPercent);
  EXPECT_EQ(*std::max_element(dspPercents.begin(), dspPercents.end()), c.lastPercent);
  EXPECT_EQ(rig.ReceivedFrames(kUsbBlock).size(), 189u);

  // DSP first, then USB.
  const std::vector<Frame> frames = rig.ReceivedFrames();
  const auto firstUsb = std::find_if(frames.begin(), frames.end(), IsUsbCommand);
  EXPECT_TRUE(std::none_of(firstUsb, frames.end(), [](const Frame& f) {
    return f[0] == kDspStart || f[0] == kDspBlock || f[0] == kDspEnd;
  }));

  // The adapter restarts on the new firmware; its notices refresh the dialog.
  ASSERT_TRUE(rig.host.WaitForPosted(4));
  rig.host.Dispatch(*rig.dialog);
  EXPECT_EQ(rig.host.Text(kVersionLine), "USB 0104, DSP 0107");
  EXPECT_TRUE(rig.host.IsEnabled(kDownloadButton));
}

INSTANTIATE_TEST_SUITE_P(BuiltInDspImage, StandardDownloadBlockSizeTest,
                         ::testing::Values(BlockSizeCase{64, 972, 47, 101},
                                           BlockSizeCase{63, 988, 58, 99}));

// Failures: the failure box with Retry, and the text the transfer left behind.
struct FailureCase {
  const char* name;
  std::string scenario;
  std::string infoLine;      // the info line when the failure box comes up
  std::string alsoShown;     // an earlier info text that must have been shown, or empty
  bool usbCommandsSent;      // the USB part was attempted
  std::uint8_t countedCode;  // the adapter received frames with this code...
  std::size_t count;         // ...this many times
};

class StandardDownloadFailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(StandardDownloadFailureTest, ShowsTheFailureBoxWithRetry) {
  const FailureCase& c = GetParam();
  StandardRig rig(c.scenario, {.responseWait = 200ms,
                               .retryPause = 1ms,
                               .attempts = 2,
                               .readSlice = 50ms,
                               .finishPause = 1ms,
                               .statusWaitLimit = 300ms});
  rig.Open();
  rig.host.answers = {MessageBoxResult::kOk, MessageBoxResult::kCancel};
  rig.Download();

  ASSERT_EQ(rig.host.boxes.size(), 2u);
  EXPECT_EQ(rig.host.boxes[1].text, LoadResourceString(kDownloadFailedString));
  EXPECT_EQ(rig.host.boxes[1].icon, MessageBoxIcon::kQuestion);
  EXPECT_EQ(rig.host.boxes[1].buttons, MessageBoxButtons::kRetryCancel);
  EXPECT_EQ(rig.host.Text(kInfoLine), c.infoLine);
  if (!c.alsoShown.empty()) {
    const auto& history = rig.host.TextHistory(kInfoLine);
    EXPECT_NE(std::find(history.begin(), history.end(), c.alsoShown), history.end());
  }
  const std::vector<Frame> frames = rig.ReceivedFrames();
  EXPECT_EQ(std::any_of(frames.begin(), frames.end(), IsUsbCommand), c.usbCommandsSent);
  EXPECT_TRUE(rig.ReceivedFrames(kUsbFinish).empty());
  EXPECT_EQ(rig.ReceivedFrames(c.countedCode).size(), c.count);
  EXPECT_EQ(rig.host.waitDepth, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Adapter, StandardDownloadFailureTest,
    ::testing::Values(
        FailureCase{
            "FirstDspBlockRefused",
            R"({"rules": [{"match": {"command": "CMD_DSP_BLOCK"}, "answer": "RSP_NAK_CMD"}]})",
            "DSP Error, 0x0 bytes are written", "", false, kDspEnd, 1},
        FailureCase{"ThirdDspBlockRefused",
                    R"({"rules": [{"match": {"command": "CMD_DSP_BLOCK", "block": 3},
                                   "answer": "RSP_NAK_BUSY"}]})",
                    "DSP Error, 0x7a bytes are written", "", false, kDspBlock, 3},
        FailureCase{"DspChecksumBad", R"({"force_checksum_bad": "dsp"})",
                    "Download Completion: DSP 101 %.", "", false, kDspEnd, 1},
        FailureCase{"DspStaysBusy", R"({"busy_polls": "forever"})",
                    "DSP Error, the adapter stayed busy", "", false, kDspBlock, 0},
        FailureCase{"ReportTooLong", R"({"hid": {"output_report_length": 65}})",
                    "DSP Error, output report length 65 is not supported", "", false, kDspStart, 0},
        // A report that would cut the USB blocks stops the run before the DSP part.
        FailureCase{"ReportTooShort", R"({"hid": {"output_report_length": 3}})",
                    "USB Error, output report length 3 cannot carry a 33-byte block frame", "",
                    false, kDspStart, 0},
        FailureCase{"ReportCutsUsbBlocks", R"({"hid": {"output_report_length": 33}})",
                    "USB Error, output report length 33 cannot carry a 33-byte block frame", "",
                    false, kDspStart, 0},
        FailureCase{
            "UsbEndRefused",
            R"({"rules": [{"match": {"command": "CMD_USB_END"}, "answer": "RSP_NAK_BUSY"}]})",
            "USB download Failure", "", true, kUsbEnd, 1},
        FailureCase{"ThirdUsbBlockRefused",
                    R"({"rules": [{"match": {"command": "CMD_USB_BLOCK", "block": 3},
                                   "answer": "RSP_NAK_CMD"}]})",
                    "USB download Failure", "USB Error, 0x40 bytes are written", true, kUsbBlock,
                    3},
        FailureCase{"UsbChecksumBad", R"({"force_checksum_bad": "usb"})", "USB download Failure",
                    "Download Completion: USB 99 %.", true, kUsbBlock, 189}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StandardDownloadTest, FirstBlockFollowsTheFirstStatusThatIsNotBusy) {
  // Block 2 is refused only to end the run early.
  StandardRig rig(R"({"busy_polls": 3, "rules": [{"match": {"command": "CMD_DSP_BLOCK",
                      "block": 2}, "answer": "RSP_NAK_CMD"}]})");
  rig.Open();
  rig.host.answers = {MessageBoxResult::kOk};
  rig.Download();

  std::vector<std::uint8_t> codes;
  for (const Frame& frame : rig.ReceivedFrames()) codes.push_back(frame[0]);
  const std::vector<std::uint8_t> expected = {0x9C,         kDspStart,    kStatusQuery,
                                              kStatusQuery, kStatusQuery, kStatusQuery,
                                              kDspBlock,    kDspBlock,    kDspEnd};
  EXPECT_EQ(codes, expected);
  EXPECT_EQ(rig.host.Text(kInfoLine), "DSP Error, 0x3d bytes are written");
}

// An adapter still erasing answers UPGRADE_CHECKSUM_BAD, which is accepted at
// once: 2000 such polls go back to back, and the download still succeeds.
TEST(StandardDownloadTest, AdapterAnsweringChecksumBadWhileErasingIsWaitedFor) {
  Timing timing = testing::kFastTiming;
  timing.statusWaitLimit = std::chrono::seconds(60);
  StandardRig rig(R"({"checksum_bad_polls": 2000})", timing);
  rig.Open();
  rig.host.answers = {MessageBoxResult::kOk};
  rig.Download();

  ASSERT_EQ(rig.host.boxes.size(), 2u);
  EXPECT_EQ(rig.host.boxes[1].text, LoadResourceString(kDownloadSucceededString));
  // 2000 checksum-bad answers, the default busy one, the ready one, and the final poll.
  EXPECT_EQ(rig.ReceivedFrames(kStatusQuery).size(), 2003u);
}

TEST(StandardDownloadTest, RetryAsksAgainBeforeSendingAndNestsTheWaitCursor) {
  StandardRig rig(R"({"rules": [{"match": {"command": "CMD_DSP_BLOCK"}, "answer": "RSP_NAK_CMD",
                                  "times": "always"}]})");
  rig.Open();
  rig.host.answers = {MessageBoxResult::kOk, MessageBoxResult::kRetry, MessageBoxResult::kOk,
                      MessageBoxResult::kRetry, MessageBoxResult::kCancel};
  rig.Download();

  std::vector<std::string> texts;
  for (const auto& box : rig.host.boxes) texts.push_back(box.text);
  const std::string confirm = LoadResourceString(kConfirmDownloadString);
  const std::string failed = LoadResourceString(kDownloadFailedString);
  EXPECT_EQ(texts, (std::vector<std::string>{confirm, failed, confirm, failed, confirm}));
  EXPECT_EQ(rig.ReceivedFrames(kDspStart).size(), 2u);  // the last confirmation was cancelled
  EXPECT_EQ(rig.host.maxWaitDepth, 2);
  EXPECT_EQ(rig.host.waitDepth, 0);
}

}  // namespace
}  // namespace kr35
