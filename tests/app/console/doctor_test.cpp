// kr35ctl doctor on the simulated adapter: one row per check that fails,
// each with its fix; a sound adapter passes and a missing one exits 3.
#include "app/console/doctor_command.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include "app/console/exit_status.h"

namespace kr35 {
namespace {

namespace fs = std::filesystem;

struct Row {
  const char* name;
  std::string scenario;
  std::string history;  // the history file's content; empty: none
  const char* check;    // the check that fails; nullptr: none fails
  const char* fix;      // in its fix
  int status;
};

// A begin of the simulated adapter (port 0) that never ended.
constexpr const char* kUnfinished =
    R"({"record":"begin","id":"a","time":"2026-01-02T03:04:05.000Z","program":"kr35ctl",)"
    R"("version":"1","adapter":{"path":"sim:adapter0","serial":null,"port":"0"},"images":[]})"
    "\n";

TEST(DoctorTest, EachFailingCheckSaysItsFix){
    const Row rows[] = {
        {"sound", "{}", "", nullptr, "", kExitDone},
        {"no_adapter", R"({"hid": {"adapter": false}})", "", "adapter", "plug in the adapter",
         kExitNoAdapter},
        {"unreadable_product", R"({"hid": {"product": null}})", "", "product string",
         "unplug and plug in the adapter", kExitFailed},
        {"write_refused", R"({"hid": {"write_opens": false}})", "", "open for writing",
#ifdef _WIN32
         "close the program that has the adapter open", kExitFailed},
#else
         "70-kr35.rules", kExitFailed},
#endif
        {"response_array_longer_than_5", R"({"hid": {"response_length": 8}})", "",
         "response report", "report descriptor is not the adapter's", kExitFailed},
        {"short_output_report", R"({"hid": {"output_report_length": 20}})", "", "output report",
         "only the DSP part can be downloaded", kExitFailed},
        {"silent_adapter",
         R"({"rules": [{"match": {"command": "CMD_VERSIONS"}, "answer": "silence", "times": "always"}]})",
         "", "versions", "download the firmware again", kExitFailed},
        {"no_matching_sound_card", R"({"mixers": [{"name": "Speakers"}]})", "", "sound card",
         "snd-usb-audio", kExitFailed},
        {"mute_control_missing",
         R"({"mixers": [{"name": "KR35 Headset Adapter", "hasRecording": false}]})", "",
         "mute control", "capture controls", kExitFailed},
        {"interrupted_history", "{}", kUnfinished, "history", "kr35ctl update", kExitFailed},
    };
const fs::path dir =
    fs::temp_directory_path() / ("kr35_doctor_" + std::to_string(std::random_device{}()));
fs::create_directories(dir);
for (const Row& row : rows) {
  SCOPED_TRACE(row.name);
  std::ofstream(dir / "scenario.json") << row.scenario;
  ServiceOptions options;
  options.simulate = true;
  options.scenarioPath = (dir / "scenario.json").string();
  Timing timing;
  timing.responseWait = std::chrono::milliseconds(10);
  timing.retryPause = std::chrono::milliseconds(5);
  options.simTiming = timing;
  options.history = "none";
  if (!row.history.empty()) {
    std::ofstream(dir / "history.jsonl") << row.history;
    options.history = (dir / "history.jsonl").string();
  }
  std::string error;
  auto services = PlatformServices::Create(options, error);
  ASSERT_TRUE(services) << error;

  std::FILE* out = std::tmpfile();
  EventPrinter printer(OutputStyle::kLines, out);
  EXPECT_EQ(RunDoctorCommand(*services, printer), row.status);
  std::fclose(out);
  const DoctorReport report = RunDoctorChecks(*services);
  bool found = row.check == nullptr;
  for (const DoctorCheck& check : report.checks) {
    if (check.status == DoctorCheck::Status::kOk) {
      EXPECT_TRUE(check.fix.empty()) << check.name;
      continue;
    }
    EXPECT_FALSE(check.fix.empty()) << check.name;
    if (row.check == nullptr) {
      EXPECT_NE(check.status, DoctorCheck::Status::kFail) << check.name << ": " << check.found;
    } else if (check.name == row.check && check.status == DoctorCheck::Status::kFail) {
      found = true;
      EXPECT_NE(check.fix.find(row.fix), std::string::npos) << check.fix;
    }
  }
  EXPECT_TRUE(found) << "no failing check '" << (row.check ? row.check : "") << "'";
}
fs::remove_all(dir);
}  // namespace

}  // namespace kr35
}  // namespace kr35
