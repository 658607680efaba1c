// The dialog program around its host: the host waits on the platform
// services' exchange clock, so a replayed session skips the dialog's pauses
// as it does kr35ctl's.
#include "app/dialog_program.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

namespace kr35 {
namespace {

TEST(DialogProgram, TheHostWaitsOnTheServicesExchangeClock) {
  const std::string recording =
      (std::filesystem::temp_directory_path() / "kr35_dialog_program_session.jsonl").string();
  std::string texts;
  DialogProgram program;
  program.showText = [&](const std::string& text, bool) { texts += text; };
  program.runOnHost = [](DownloadApp&, Clock&) {};
  ASSERT_EQ(RunDialogProgram({"--simulate", "--record=" + recording}, program), 0) << texts;

  std::chrono::steady_clock::duration slept{};
  program.runOnHost = [&](DownloadApp&, Clock& clock) {
    const auto start = std::chrono::steady_clock::now();
    clock.SleepFor(std::chrono::seconds(5));
    slept = std::chrono::steady_clock::now() - start;
  };
  EXPECT_EQ(RunDialogProgram({"--replay=" + recording, "--replay-speed=max"}, program), 0) << texts;
  EXPECT_LT(slept, std::chrono::seconds(1));
  std::remove(recording.c_str());
}

}  // namespace
}  // namespace kr35
