// The dialog program around its host: the host waits on the platform
// services' exchange clock, so a replayed session skips the dialog's pauses
// as it does kr35ctl's.
#include "app/dialog_program.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <signal.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

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

#ifndef _WIN32
// A signal that ends the dialog program keeps the simulated adapter's flash,
// as the normal end does.
TEST(DialogProgram, ASignalKeepsTheSimulatedFlash) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::string state =
      (std::filesystem::temp_directory_path() / "kr35_dialog_program_signal.json").string();
  std::remove(state.c_str());
  DialogProgram program;
  program.showText = [](const std::string&, bool) {};
  program.runOnHost = [](DownloadApp&, Clock&) {
    kill(getpid(), SIGTERM);
    std::this_thread::sleep_for(std::chrono::seconds(10));
  };
  EXPECT_EXIT(RunDialogProgram({"--simulate", "--sim-state=" + state}, program),
              ::testing::ExitedWithCode(128 + SIGTERM), "");
  std::ifstream saved(state);
  std::string text((std::istreambuf_iterator<char>(saved)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("kr35_sim_flash"), std::string::npos) << text;
  std::remove(state.c_str());
}
#endif

}  // namespace
}  // namespace kr35
