// `kr35ctl --json download` run as a program on the simulated adapter: for
// each way a download can end, the last event is the typed result and the
// exit status follows from it.
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/console/text_file.h"

namespace kr35 {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

struct Row {
  const char* name;
  std::string scenario;  // the simulator's scenario file; empty: the default adapter
  std::string waits;     // "--sim-response-wait=10" for the rows that wait for silence
  std::string args;      // after `download --yes`
  int status;
  json result;         // the fields the result event must have
  std::string reason;  // its "reason" contains this
};

const json kNull = nullptr;

std::vector<Row> Rows() {
  return {
      {"success",
       "",
       "",
       "",
       0,
       {{"outcome", "done"}, {"part", kNull}, {"step", kNull}, {"block", kNull}, {"answer", kNull}},
       ""},
      {"refused_block",
       R"({"rules": [{"match": {"command": "CMD_DSP_BLOCK", "block": 5}, "answer": "RSP_NAK_CMD"}]})",
       "",
       "",
       1,
       {{"outcome", "failed"},
        {"part", "DSP"},
        {"step", "block"},
        {"block", 5},
        {"answer", {1, 1, 0, 0, 0}}},
       ""},
      {"silent_adapter",
       R"({"rules": [{"match": {"command": "CMD_DSP_START"}, "answer": "silence", "times": "always"}]})",
       "--sim-response-wait=10",
       "",
       1,
       {{"outcome", "failed"},
        {"part", "DSP"},
        {"step", "start"},
        {"block", kNull},
        {"answer", kNull}},
       "no answer from the adapter"},
      {"unplug_mid_transfer",
       R"({"hid": {"events": [{"after_command": 20, "unplug": true}]}})",
       "--sim-response-wait=10",
       "",
       1,
       {{"outcome", "gone"}, {"part", "DSP"}},
       ""},
      {"refused_start_short_report",
       R"({"hid": {"output_report_length": 20}})",
       "",
       "",
       1,
       {{"outcome", "refused"}, {"part", "USB"}, {"step", kNull}, {"block", kNull}},
       "cannot carry a USB block frame"},
      {"missing_hex_file",
       "",
       "",
       "--dsp=missing.hex",
       2,
       {{"outcome", "refused"}, {"part", kNull}, {"step", kNull}},
       "cannot be read"},
  };
}

TEST(Kr35ctlResultTest, DownloadEndsWithTheTypedResultAndItsExitStatus) {
  for (const Row& row : Rows()) {
    SCOPED_TRACE(row.name);
    const fs::path dir =
        fs::temp_directory_path() / ("kr35ctl_result_" + std::to_string(getpid()) + "_" + row.name);
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::string simulate = "--simulate";
    if (!row.scenario.empty()) {
      std::ofstream(dir / "scenario.json") << row.scenario;
      simulate += "=" + (dir / "scenario.json").string();
    }
    const std::string command = "cd '" + dir.string() + "' && '" KR35CTL_PATH "' --json " +
                                simulate + " " + row.waits + " download --yes " + row.args +
                                " </dev/null >out.jsonl 2>err.txt";
    const int wait = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(wait));
    EXPECT_EQ(WEXITSTATUS(wait), row.status) << ReadText(dir / "err.txt");

    std::istringstream lines(ReadText(dir / "out.jsonl"));
    std::vector<json> events;
    for (std::string line; std::getline(lines, line);) events.push_back(json::parse(line));
    ASSERT_FALSE(events.empty());
    int results = 0;
    for (const json& event : events) results += event["event"] == "result";
    EXPECT_EQ(results, 1);
    const json& result = events.back();
    ASSERT_EQ(result["event"], "result") << result.dump();
    for (const auto& [key, value] : row.result.items()) {
      EXPECT_EQ(result[key], value) << key << " in " << result.dump();
    }
    EXPECT_NE(result["reason"].get<std::string>().find(row.reason), std::string::npos)
        << result.dump();
    fs::remove_all(dir);
  }
}

}  // namespace
}  // namespace kr35
