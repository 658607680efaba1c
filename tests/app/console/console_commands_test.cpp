#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/console/dialog_commands.h"
#include "app/console/exit_status.h"
#include "app/console/image_commands.h"
#include "capture_file.h"
#include "firmware/file_io.h"
#include "firmware/firmware_image.h"
#include "firmware/intel_hex_writer.h"

namespace kr35 {
namespace {

namespace fs = std::filesystem;
using testing::CaptureFile;

class ConsoleCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("kr35_console_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path Write(const std::string& name, const std::string& text) {
    const fs::path path = dir_ / name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  std::vector<std::uint8_t> Read(const fs::path& path) {
    std::vector<std::uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(ReadWholeFile(path, bytes, error)) << error;
    return bytes;
  }

  fs::path dir_;
};

std::string HexOf(std::initializer_list<std::uint8_t> bytes) {
  return WriteIntelHex(std::vector<std::uint8_t>(bytes));
}

TEST_F(ConsoleCommandsTest, ConvertWritesBothDumpsWithTheirSkipCounts) {
  const std::string usb = Write("usb.hex", HexOf({1, 2, 3, 4})).string();
  const std::string dsp = Write("dsp.hex", HexOf({9, 9, 5, 6})).string();
  CaptureFile out;
  EventPrinter printer(OutputStyle::kLines, out.get());
  EXPECT_EQ(RunConvertCommand(usb, dsp, dir_.string(), printer), kExitDone);
  EXPECT_EQ(Read(dir_ / "USBFileDump.bin"),
            (std::vector<std::uint8_t>{4, 0, 0, 0, 10, 0, 0, 0, 1, 2, 3, 4}));
  // The DSP image drops the first two data bytes.
  EXPECT_EQ(Read(dir_ / "DSPFileDump.bin"),
            (std::vector<std::uint8_t>{2, 0, 0, 0, 11, 0, 0, 0, 5, 6}));
  const std::string text = out.Text();
  EXPECT_LT(text.find("DSPFileDump.bin"), text.find("USBFileDump.bin"));
  EXPECT_NE(text.find("info: Success!"), std::string::npos);
}

TEST_F(ConsoleCommandsTest, UnreadableInputWritesNothing) {
  const std::string usb = Write("usb.hex", HexOf({1, 2})).string();
  CaptureFile out;
  EventPrinter printer(OutputStyle::kLines, out.get());
  EXPECT_EQ(RunConvertCommand(usb, (dir_ / "missing.hex").string(), dir_.string(), printer),
            kExitUsage);
  EXPECT_FALSE(fs::exists(dir_ / "USBFileDump.bin"));
  EXPECT_FALSE(fs::exists(dir_ / "DSPFileDump.bin"));
}

TEST_F(ConsoleCommandsTest, EmptyInputFailsThatImageOnly) {
  const std::string usb = Write("usb.hex", HexOf({1, 2})).string();
  const std::string dsp = Write("dsp.hex", "").string();
  CaptureFile out;
  EventPrinter printer(OutputStyle::kLines, out.get());
  EXPECT_EQ(RunConvertCommand(usb, dsp, dir_.string(), printer), kExitFailed);
  EXPECT_TRUE(fs::exists(dir_ / "USBFileDump.bin"));
  EXPECT_FALSE(fs::exists(dir_ / "DSPFileDump.bin"));
  EXPECT_NE(out.Text().find("info: Fail!"), std::string::npos);
}

TEST_F(ConsoleCommandsTest, UnwritableOutputLeavesNoFile) {
  const std::string usb = Write("usb.hex", HexOf({1, 2})).string();
  CaptureFile out;
  EventPrinter printer(OutputStyle::kLines, out.get());
  EXPECT_EQ(RunConvertCommand(usb, "", (dir_ / "no" / "such" / "dir").string(), printer),
            kExitFailed);
  EXPECT_FALSE(fs::exists(dir_ / "no"));
}

TEST_F(ConsoleCommandsTest, ImageCommandJudgesHeaderAndChecksum) {
  CaptureFile out;
  EventPrinter printer(OutputStyle::kLines, out.get());
  EXPECT_EQ(RunImageCommand("builtin", printer), kExitDone);
  EXPECT_NE(out.Text().find("payloadLength 6021, checksum 0x2C7F, version 0104, checksum matches"),
            std::string::npos);

  const std::string good{"\x02\0\0\0\x03\0\x07\x01\x01\x02", 10};
  EXPECT_EQ(RunImageCommand(Write("good.bin", good).string(), printer), kExitDone);
  std::string bad = good;
  bad[9] = 5;
  EXPECT_EQ(RunImageCommand(Write("bad.bin", bad).string(), printer), kExitFailed);
  EXPECT_EQ(RunImageCommand(Write("short.bin", good.substr(0, 9)).string(), printer), kExitFailed);
  EXPECT_EQ(RunImageCommand(Write("tiny.bin", "abc").string(), printer), kExitFailed);
  EXPECT_EQ(RunImageCommand((dir_ / "missing.bin").string(), printer), kExitUsage);
}

std::unique_ptr<PlatformServices> Simulated(const std::string& scenarioPath) {
  std::string error;
  ServiceOptions options;
  options.simulate = true;
  options.scenarioPath = scenarioPath;
  auto services = PlatformServices::Create(options, error);
  EXPECT_TRUE(services) << error;
  return services;
}

TEST_F(ConsoleCommandsTest, VersionsOnTheSimulatedAdapter) {
  CaptureFile out;
  EventPrinter printer(OutputStyle::kLines, out.get());
  auto services = Simulated("");
  EXPECT_EQ(RunVersionsCommand(*services, printer), kExitDone);
  EXPECT_EQ(out.Text(), "version: USB 0100, DSP 0100\n");

  CaptureFile none;
  EventPrinter nonePrinter(OutputStyle::kLines, none.get());
  auto absent = Simulated(Write("absent.json", R"({"hid": {"adapter": false}})").string());
  EXPECT_EQ(RunVersionsCommand(*absent, nonePrinter), kExitNoAdapter);
  EXPECT_EQ(none.Text(), "version: Plug in KR35 hardware\n");
  EXPECT_EQ(RunListCommand(*absent, nonePrinter), kExitNoAdapter);
}

TEST_F(ConsoleCommandsTest, DownloadWithoutConfirmationSendsNothing) {
  CaptureFile out;
  EventPrinter printer(OutputStyle::kLines, out.get());
  const auto trace = dir_ / "trace.jsonl";
  std::string error;
  ServiceOptions options;
  options.simulate = true;
  options.tracePath = trace.string();
  auto services = PlatformServices::Create(options, error);
  ASSERT_TRUE(services) << error;
  EXPECT_EQ(RunDownloadCommand(*services, printer, ConsoleOptions{}, "", ""), kExitFailed);
  services.reset();
  std::ifstream lines(trace);
  std::string line;
  int received = 0;
  while (std::getline(lines, line)) received += line.find("0d") != std::string::npos;
  EXPECT_EQ(received, 0) << "no DSP start may reach the adapter";
  EXPECT_EQ(out.Text().find("info: Download"), std::string::npos);
}

}  // namespace
}  // namespace kr35
