// The FULL mode: downloads and dumps of the images converted from the Intel
// HEX files named in the path boxes, run in a temporary current directory.
#include "app/full_dialog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>

#include "app/dialog_ids.h"
#include "firmware/file_io.h"
#include "firmware/firmware_image.h"
#include "firmware/intel_hex_writer.h"
#include "dialog_rig.h"

namespace kr35 {
namespace {

namespace fs = std::filesystem;
using testing::DialogRig;
using testing::Frame;

constexpr std::uint8_t kDspStart = 0x0D, kUsbStart = 0x0F, kUsbEnd = 0x10, kUsbBlock = 0x11,
                       kUsbFinish = 0x13;

std::vector<std::uint8_t> Payload(std::size_t length, std::uint8_t seed) {
  std::vector<std::uint8_t> bytes(length);
  for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<std::uint8_t>(seed + i * 7);
  return bytes;
}

std::vector<std::uint8_t> ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::set<std::string> DirectoryEntries(const fs::path& directory) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(directory)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

class FullDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previousDirectory_ = fs::current_path();
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    root_ = fs::temp_directory_path() / ("kr35_full_" + std::to_string(::getpid()) + "_" + name);
    fs::remove_all(root_);
    fs::create_directories(root_ / "work");
    fs::create_directories(root_ / "input");
    fs::current_path(root_ / "work");
  }
  void TearDown() override {
    dialog_.reset();
    rig_.reset();
    fs::current_path(previousDirectory_);
    fs::remove_all(root_);
  }

  FullDialog& Open(const std::string& scenario = "{}", const std::string& parameter = "") {
    dialog_.reset();
    rig_ = std::make_unique<DialogRig>(scenario);
    dialog_ = std::make_unique<FullDialog>(rig_->host, rig_->Environment());
    dialog_->commandLineParameter = parameter;
    dialog_->OnDialogInit();
    framesAtStart_ = rig_->ReceivedFrames().size();
    return *dialog_;
  }
  // Writes a HEX file whose image carries `payload`. A DSP file starts with
  // two bytes that the conversion drops.
  std::string HexFile(const std::string& name, const std::vector<std::uint8_t>& payload, bool dsp) {
    std::vector<std::uint8_t> data = payload;
    if (dsp) data.insert(data.begin(), {0xAA, 0x55});
    return TextFile(name, WriteIntelHex(data));
  }
  std::string TextFile(const std::string& name, const std::string& text) {
    const fs::path path = root_ / "input" / name;
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
  }
  void Download(const std::string& dspPath, const std::string& usbPath) {
    host().SetControlText(kDspPathBox, dspPath);
    host().SetControlText(kUsbPathBox, usbPath);
    dialog_->OnCommand(kDownloadButton);
  }
  std::vector<Frame> FramesSinceStart() const {
    std::vector<Frame> frames = rig_->ReceivedFrames();
    frames.erase(frames.begin(), frames.begin() + static_cast<std::ptrdiff_t>(framesAtStart_));
    return frames;
  }
  std::vector<std::string> OutcomeTexts() {
    std::vector<std::string> outcomes;
    for (const std::string& text : host().TextHistory(kInfoLine)) {
      if (text == "Success!" || text == "Fail!") outcomes.push_back(text);
    }
    return outcomes;
  }
  testing::FakeDialogHost& host() { return rig_->host; }

  fs::path root_;
  std::unique_ptr<DialogRig> rig_;
  std::unique_ptr<FullDialog> dialog_;
  std::size_t framesAtStart_ = 0;

 private:
  fs::path previousDirectory_;
};

TEST_F(FullDialogTest, BothBoxesEmptyFailWithoutSendingAnything) {
  Open();
  Download("", "");
  EXPECT_EQ(host().Text(kInfoLine), "Fail!");
  EXPECT_TRUE(FramesSinceStart().empty());
  EXPECT_TRUE(host().boxes.empty());
  EXPECT_EQ(host().maxWaitDepth, 1);
  EXPECT_EQ(host().waitDepth, 0);
}

TEST_F(FullDialogTest, OnlyTheUsbFileIsDownloadedAndThePathBoxesKeepTheirText) {
  Open();
  const std::string usb = HexFile("usb.hex", Payload(100, 1), false);
  Download("", usb);
  EXPECT_EQ(host().Text(kInfoLine), "Success!");
  const std::vector<Frame> frames = FramesSinceStart();
  ASSERT_FALSE(frames.empty());
  EXPECT_EQ(frames.front()[0], kUsbStart);
  EXPECT_EQ(frames.back()[0], kUsbFinish);
  // The transfers refresh the info line after every block; the boxes were set once.
  EXPECT_EQ(host().TextHistory(kUsbPathBox), std::vector<std::string>{usb});
  EXPECT_EQ(host().TextHistory(kDspPathBox), std::vector<std::string>{""});
  EXPECT_EQ(host().waitDepth, 0);
}

TEST_F(FullDialogTest, FailedDspTransferStillDownloadsTheUsbFileAndFails) {
  Open(R"({"rules": [{"match": {"command": "CMD_DSP_BLOCK"}, "answer": "RSP_NAK_CMD"}]})");
  Download(HexFile("dsp.hex", Payload(200, 2), true), HexFile("usb.hex", Payload(64, 3), false));
  EXPECT_EQ(OutcomeTexts(), std::vector<std::string>{"Fail!"});
  const auto& history = host().TextHistory(kInfoLine);
  EXPECT_NE(std::find(history.begin(), history.end(), "DSP Error, 0x0 bytes are written"),
            history.end());
  EXPECT_EQ(rig_->ReceivedFrames(kUsbFinish).size(), 1u);  // the USB part succeeded
}

// A report that would cut the USB block frames refuses a run that includes
// the USB file before the DSP file goes out; DSP-only work keeps its own rule.
TEST_F(FullDialogTest, ShortReportRefusesAUsbRunBeforeAnyFrame) {
  Open(R"({"hid": {"output_report_length": 20}})");
  const std::string dsp = HexFile("dsp.hex", Payload(200, 2), true);
  Download(dsp, HexFile("usb.hex", Payload(64, 3), false));
  EXPECT_EQ(host().Text(kInfoLine),
            "USB Error, output report length 20 cannot carry a 33-byte block frame");
  EXPECT_TRUE(FramesSinceStart().empty());
  EXPECT_EQ(host().waitDepth, 0);
  Download(dsp, "");
  EXPECT_EQ(host().Text(kInfoLine), "Success!");
}

// USB payload lengths around the 32-byte block: the block count, the padding
// of the last block and the progress lines.
TEST_F(FullDialogTest, UsbPayloadLengthsAroundTheBlockSize) {
  for (const std::size_t length :
       {std::size_t{0}, std::size_t{32}, std::size_t{33}, std::size_t{6021}}) {
    SCOPED_TRACE(length);
    const std::vector<std::uint8_t> payload = Payload(length, 9);
    const std::string usb = HexFile("usb" + std::to_string(length) + ".hex", payload, false);
    Open();
    Download("", usb);
    EXPECT_EQ(host().Text(kInfoLine), "Success!");

    const std::size_t blockCount = (length + 31) / 32;
    const std::vector<Frame> start = rig_->ReceivedFrames(kUsbStart);
    ASSERT_EQ(start.size(), 1u);
    EXPECT_EQ(start[0][1] | start[0][2] << 8, static_cast<int>(blockCount));
    const std::vector<Frame> blocks = rig_->ReceivedFrames(kUsbBlock);
    ASSERT_EQ(blocks.size(), blockCount);
    std::vector<std::uint8_t> sent;
    for (const Frame& block : blocks)
      sent.insert(sent.end(), block.begin() + 1, block.begin() + 33);
    std::vector<std::uint8_t> padded = payload;
    padded.resize(blockCount * 32, 0);
    EXPECT_EQ(sent, padded);
    const std::vector<Frame> end = rig_->ReceivedFrames(kUsbEnd);
    ASSERT_EQ(end.size(), 1u);
    const std::uint16_t checksum = ComputeChecksum(payload);
    EXPECT_EQ(end[0][1] | end[0][2] << 8, checksum);

    std::vector<std::string> expected;
    for (std::size_t k = 0; k < blockCount; ++k) {
      expected.push_back("Download Completion: USB " + std::to_string(100 * k / blockCount) +
                         " %.");
    }
    expected.insert(expected.end(), {"100 percent", "Success!"});
    const auto& history = host().TextHistory(kInfoLine);
    ASSERT_GE(history.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(history.end() - static_cast<std::ptrdiff_t>(expected.size()),
                                       history.end()),
              expected);
    dialog_.reset();
    rig_.reset();
  }
}

TEST_F(FullDialogTest, SaveAsResFileWritesBothDumpsAndSendsNothing) {
  Open("{}", "saveasresfile");
  const std::vector<std::uint8_t> dspPayload = Payload(1000, 4);
  const std::vector<std::uint8_t> usbPayload = Payload(333, 5);
  Download(HexFile("dsp.hex", dspPayload, true), HexFile("usb.hex", usbPayload, false));
  EXPECT_EQ(host().Text(kInfoLine), "Success!");
  EXPECT_TRUE(FramesSinceStart().empty());

  for (const auto& [name, payload] :
       {std::pair{"DSPFileDump.bin", dspPayload}, std::pair{"USBFileDump.bin", usbPayload}}) {
    SCOPED_TRACE(name);
    const std::vector<std::uint8_t> dump = ReadBytes(root_ / "work" / name);
    ASSERT_EQ(dump.size(), kImageHeaderSize + payload.size());
    const FirmwareImage image(dump);
    EXPECT_EQ(image.PayloadLength(), payload.size());
    EXPECT_EQ(image.Version(), 0);
    EXPECT_TRUE(image.ChecksumMatches());
    EXPECT_TRUE(std::equal(payload.begin(), payload.end(), image.Payload().begin()));
  }
  EXPECT_EQ(DirectoryEntries(root_ / "work"),
            (std::set<std::string>{"DSPFileDump.bin", "USBFileDump.bin"}));
}

TEST_F(FullDialogTest, ParameterInAnotherLetterCaseDownloads) {
  Open("{}", "SaveAsResFile");
  Download("", HexFile("usb.hex", Payload(40, 6), false));
  EXPECT_EQ(host().Text(kInfoLine), "Success!");
  EXPECT_EQ(rig_->ReceivedFrames(kUsbBlock).size(), 2u);
  EXPECT_TRUE(DirectoryEntries(root_ / "work").empty());
}

TEST_F(FullDialogTest, FileWithoutDataRecordsDumpsAnEmptyImage) {
  Open("{}", "saveasresfile");
  Download("", TextFile("eof.hex", ":00000001FF\r\n"));
  EXPECT_EQ(host().Text(kInfoLine), "Success!");
  EXPECT_EQ(ReadBytes(root_ / "work" / "USBFileDump.bin"), std::vector<std::uint8_t>(8, 0));
}

TEST_F(FullDialogTest, EmptyFileFailsWithoutAMessageBox) {
  Open();
  Download("", TextFile("empty.hex", ""));
  EXPECT_EQ(host().Text(kInfoLine), "Fail!");
  EXPECT_TRUE(host().boxes.empty());
  EXPECT_TRUE(FramesSinceStart().empty());
}

TEST_F(FullDialogTest, UnreadableDspFileStopsTheDownloadWithAStopBox) {
  Open();
  const std::string missing = (root_ / "input" / "missing.hex").string();
  Download(missing, HexFile("usb.hex", Payload(64, 7), false));
  ASSERT_EQ(host().boxes.size(), 1u);
  EXPECT_NE(host().boxes[0].text.find(missing), std::string::npos) << host().boxes[0].text;
  EXPECT_EQ(host().boxes[0].icon, MessageBoxIcon::kStop);
  EXPECT_EQ(host().boxes[0].buttons, MessageBoxButtons::kOk);
  EXPECT_TRUE(OutcomeTexts().empty());
  EXPECT_TRUE(FramesSinceStart().empty());  // the USB file was not processed
  EXPECT_EQ(host().waitDepth, 0);
}

TEST_F(FullDialogTest, DumpThatCannotBeWrittenLeavesTheOldPairUnchanged) {
  Open("{}", "saveasresfile");
  const std::vector<std::uint8_t> oldDsp = {1, 2, 3};
  std::ofstream(root_ / "work" / "DSPFileDump.bin", std::ios::binary).write("\1\2\3", 3);
  fs::create_directory(root_ / "work" / "USBFileDump.bin");  // in the way of the USB dump
  Download(HexFile("dsp.hex", Payload(500, 8), true), HexFile("usb.hex", Payload(64, 9), false));
  ASSERT_EQ(host().boxes.size(), 1u);
  EXPECT_NE(host().boxes[0].text.find("USBFileDump.bin"), std::string::npos)
      << host().boxes[0].text;
  EXPECT_EQ(host().boxes[0].icon, MessageBoxIcon::kStop);
  EXPECT_TRUE(OutcomeTexts().empty());
  // The DSP dump, written before the USB one failed, did not replace the old
  // file, and no temporary file is left beside it.
  EXPECT_EQ(ReadBytes(root_ / "work" / "DSPFileDump.bin"), oldDsp);
  EXPECT_TRUE(fs::is_directory(root_ / "work" / "USBFileDump.bin"));
  EXPECT_EQ(DirectoryEntries(root_ / "work"),
            (std::set<std::string>{"DSPFileDump.bin", "USBFileDump.bin"}));
  EXPECT_EQ(host().waitDepth, 0);
}

TEST_F(FullDialogTest, DumpIntoAVanishedDirectoryStopsBeforeTheUsbFile) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows does not let the current directory be removed";
#endif
  Open("{}", "saveasresfile");
  const std::string dsp = HexFile("dsp.hex", Payload(50, 1), true);
  const std::string usb = HexFile("usb.hex", Payload(50, 2), false);
  fs::remove(root_ / "work");  // the current directory is gone
  Download(dsp, usb);
  ASSERT_EQ(host().boxes.size(), 1u);
  EXPECT_NE(host().boxes[0].text.find("DSPFileDump.bin"), std::string::npos)
      << host().boxes[0].text;
  EXPECT_EQ(host().boxes[0].icon, MessageBoxIcon::kStop);
  EXPECT_TRUE(OutcomeTexts().empty());
}

TEST_F(FullDialogTest, VersionButtonQueriesAndBrowseFillsOnlyOnConfirm) {
  FullDialog& dialog = Open(R"({"versions": {"usb": "0x0201", "dsp": "0x0302"}})");
  rig_->host.SetControlText(kVersionLine, "");
  dialog.OnCommand(kVersionButton);
  EXPECT_EQ(host().Text(kVersionLine), "USB 0201, DSP 0302");
  EXPECT_EQ(FramesSinceStart().size(), 1u);

  host().SetControlText(kUsbPathBox, "/keep/this.hex");
  host().browseResults = {std::nullopt, std::string("/chosen/dsp.hex")};
  dialog.OnCommand(kUsbBrowseButton);
  EXPECT_EQ(host().Text(kUsbPathBox), "/keep/this.hex");
  dialog.OnCommand(kDspBrowseButton);
  EXPECT_EQ(host().Text(kDspPathBox), "/chosen/dsp.hex");
}

}  // namespace
}  // namespace kr35
