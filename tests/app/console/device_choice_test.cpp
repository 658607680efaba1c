// --device with two simulated adapters: only the chosen one receives frames,
// and a path that is no adapter is refused with the adapters present.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/console/device_choice.h"
#include "app/console/dialog_commands.h"
#include "app/console/exit_status.h"
#include "capture_file.h"

namespace kr35 {
namespace {

namespace fs = std::filesystem;

TEST(DeviceChoiceTest, OnlyTheChosenOfTwoAdaptersReceivesFrames) {
  const fs::path dir = fs::temp_directory_path() / "kr35_device_choice";
  fs::create_directories(dir);
  const fs::path scenario = dir / "two.json";
  const fs::path trace = dir / "trace.jsonl";
  std::ofstream(scenario) << R"({"hid": {"adapters": 2}})";

  ServiceOptions options;
  options.simulate = true;
  options.scenarioPath = scenario.string();
  options.tracePath = trace.string();
  options.devicePath = "sim:adapter1";
  std::string error;
  auto services = PlatformServices::Create(options, error);
  ASSERT_TRUE(services) << error;
  EXPECT_TRUE(CheckChosenAdapter(*services, "sim:adapter1"));
  testing::CaptureFile out;
  EventPrinter printer(OutputStyle::kLines, out.get());
  EXPECT_EQ(RunVersionsCommand(*services, printer), kExitDone);
  services.reset();

  std::ifstream in(trace);
  int frames = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.find("\"dir\": \"rx\"") == std::string::npos) continue;
    ++frames;
    EXPECT_NE(line.find("\"adapter\": 1"), std::string::npos) << line;
  }
  EXPECT_GT(frames, 0);
  in.close();  // Windows cannot remove a file that is still open

  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(CheckChosenAdapter(*PlatformServices::Create(options, error), "/dev/hidraw9"));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "kr35ctl: no adapter at /dev/hidraw9; adapters present: sim:adapter0 sim:adapter1\n");
  fs::remove_all(dir);
}

}  // namespace
}  // namespace kr35
