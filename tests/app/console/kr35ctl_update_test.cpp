// `kr35ctl update --all` run as a program on six simulated adapters: two
// current, one that refuses a DSP block, one whose output report is too
// short for a USB block, one unplugged for good during its USB part and one
// healthy. The plan, the lines, the report, the trace and the exit status say
// exactly that, and a second run sends nothing to the adapters that are
// current by then.
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/console/text_file.h"

namespace kr35 {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// The six adapters (also run under Wine by scripts/test-windows.sh).
constexpr const char* kScenario = KR35_SIX_ADAPTERS;

// What each adapter's plan, result and report entry say after the first run.
struct Row {
  const char* serial;
  const char* action;
  const char* result;
  json outcome;  // the report's "outcome", "part", "step", "block"
  json part;
  json step;
  json block;
  json after;  // the versions read after the update
};

const json kNull = nullptr;
const json kTarget = {{"usb", 0x0104}, {"dsp", 0x0107}};

std::vector<Row> Rows() {
  return {
      {"CUR-1", "current", "current", kNull, kNull, kNull, kNull, kNull},
      {"CUR-2", "current", "current", kNull, kNull, kNull, kNull, kNull},
      {"NAK-DSP", "update", "failed", "failed", "DSP", "block", 3, kNull},
      {"SHORT", "refused", "refused", kNull, kNull, kNull, kNull, kNull},
      {"GONE", "update", "failed", "gone", "USB", "block", json::value_t::discarded, kNull},
      {"OK-1", "update", "updated", "done", kNull, kNull, kNull, kTarget},
  };
}

// The times (ms) of the frames each adapter received, from the trace.
std::map<int, std::vector<double>> FramesByAdapter(const fs::path& trace) {
  std::map<int, std::vector<double>> frames;
  for (const std::string& line : Lines(ReadText(trace))) {
    const json event = json::parse(line);
    if (event.value("dir", "") == "rx") frames[event["adapter"]].push_back(event["t_ms"]);
  }
  return frames;
}

int RunUpdate(const fs::path& dir, const std::string& output, const std::string& trace, bool json) {
  const std::string command = "cd '" + dir.string() + "' && '" KR35CTL_PATH "' " +
                              (json ? "--json " : "") +
                              "--simulate=six.json --sim-state=six.state --sim-trace=" + trace +
                              " --sim-response-wait=200 update --all --yes --jobs=6 "
                              "--report=report.json </dev/null >" +
                              output + " 2>err.txt";
  const int wait = std::system(command.c_str());
  return WIFEXITED(wait) ? WEXITSTATUS(wait) : -1;
}

TEST(Kr35ctlUpdateTest, SixAdaptersEndAsPlannedAndASecondRunSendsNothingToTheCurrent) {
  const fs::path dir = fs::temp_directory_path() / ("kr35ctl_update_" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  fs::copy_file(kScenario, dir / "six.json");
  const std::vector<Row> rows = Rows();

  ASSERT_EQ(RunUpdate(dir, "out.txt", "trace1.jsonl", false), 1) << ReadText(dir / "err.txt");
  const std::vector<std::string> lines = Lines(ReadText(dir / "out.txt"));
  const json report = json::parse(ReadText(dir / "report.json"));
  ASSERT_EQ(report["adapters"].size(), rows.size());
  EXPECT_EQ(report["program"], "kr35ctl");
  EXPECT_EQ(report["interrupted"], false);
  const auto frames = FramesByAdapter(dir / "trace1.jsonl");
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Row& row = rows[i];
    SCOPED_TRACE(row.serial);
    const std::string id = row.serial;
    int planLines = 0, resultLines = 0;
    for (const std::string& line : lines) {
      if (line.starts_with("plan: " + id + "  ")) {
        ++planLines;
        EXPECT_TRUE(line.find("  " + std::string(row.action)) != std::string::npos) << line;
      }
      if (line.starts_with("result: " + id + "  " + row.result)) ++resultLines;
    }
    EXPECT_EQ(planLines, 1);
    EXPECT_EQ(resultLines, 1);

    const json& entry = report["adapters"][i];
    EXPECT_EQ(entry["adapter"]["serial"], id);
    EXPECT_EQ(entry["adapter"]["port"], std::to_string(i));
    EXPECT_EQ(entry["action"], row.action);
    EXPECT_EQ(entry["result"], row.result);
    EXPECT_EQ(entry["outcome"], row.outcome);
    EXPECT_EQ(entry["part"], row.part);
    EXPECT_EQ(entry["step"], row.step);
    if (!row.block.is_discarded()) {
      EXPECT_EQ(entry["block"], row.block);
    }
    EXPECT_EQ(entry["target"], kTarget);
    EXPECT_EQ(entry["after"], row.after);

    // Nothing but the versions query reaches the adapters that are current
    // or refused; the others' frames come at their own pace, whatever the
    // failing adapters wait for.
    const std::vector<double>& times = frames.at(static_cast<int>(i));
    if (std::string(row.action) != "update") {
      EXPECT_EQ(times.size(), 1u);
    } else if (std::string(row.result) == "updated") {
      // From the first frame of the download to the last before the restart:
      // one pause between status polls while the DSP flash is erased, and
      // otherwise only the report latency (not the failing adapters' waits).
      int pauses = 0;
      for (std::size_t k = 2; k + 1 < times.size(); ++k) {
        const double gap = times[k] - times[k - 1];
        pauses += gap > 50.0;
        EXPECT_LT(gap, 400.0) << "frame " << k;
      }
      EXPECT_LE(pauses, 1);
    }
  }
  // One line per change, each starting with the adapter's identity.
  for (const std::string& line : lines) {
    if (!line.starts_with("update: ")) continue;
    const std::string rest = line.substr(8);
    EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [&](const Row& row) {
      return rest.starts_with(row.serial);
    })) << line;
  }
  EXPECT_EQ(lines.back(), "summary: 1 updated, 2 current, 2 failed, 1 refused");

  // Again: the adapters current by now are planned as current and receive
  // only the versions query.
  ASSERT_EQ(RunUpdate(dir, "out2.jsonl", "trace2.jsonl", true), 1) << ReadText(dir / "err.txt");
  const auto again = FramesByAdapter(dir / "trace2.jsonl");
  std::map<std::string, std::string> plans;
  for (const std::string& line : Lines(ReadText(dir / "out2.jsonl"))) {
    const json event = json::parse(line);
    if (event["event"] == "plan") plans[event["adapter"]["serial"]] = event["action"];
    // Every event but the confirmation and the summary names its adapter.
    const bool ofTheRun = event["event"] == "message" || event["event"] == "summary";
    EXPECT_TRUE(ofTheRun || event.contains("adapter")) << line;
  }
  for (int i : {0, 1, 5}) {
    EXPECT_EQ(plans[rows[static_cast<std::size_t>(i)].serial], "current");
    EXPECT_EQ(again.at(i).size(), 1u);
  }
  fs::remove_all(dir);
}

// A second Ctrl+C aborts every transfer at once; the report is still written
// whole, saying the run was interrupted and which adapters were mid-update.
TEST(Kr35ctlUpdateTest, ASecondSignalAbortsAllAndTheReportIsWritten) {
  const fs::path dir = fs::temp_directory_path() / ("kr35ctl_abort_" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  std::ofstream(dir / "slow.json") << R"({"hid": {"adapters": 3, "latency_ms": 5}})";
  const std::string script =
      "cd '" + dir.string() +
      "' && { '" KR35CTL_PATH
      "' --simulate=slow.json update --all --yes --report=report.json </dev/null >out.txt "
      "2>err.txt & pid=$!; i=0; while ! grep -q '50 %  sending' out.txt && [ $i -lt 600 ]; do "
      "sleep 0.05; i=$((i+1)); done; kill -INT $pid; sleep 0.3; kill -INT $pid; wait $pid; "
      "echo $? >status.txt; }";
  ASSERT_EQ(std::system(script.c_str()), 0);
  EXPECT_EQ(ReadText(dir / "status.txt"), "130\n") << ReadText(dir / "err.txt");
  const json report = json::parse(ReadText(dir / "report.json"));
  EXPECT_EQ(report["interrupted"], true);
  ASSERT_EQ(report["adapters"].size(), 3u);
  for (const json& adapter : report["adapters"]) EXPECT_EQ(adapter["result"], "interrupted");
  for (const auto& entry : fs::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(name == "report.json" || !name.starts_with("report")) << name;
  }
  fs::remove_all(dir);
}

// An adapter that takes 3.5 s to restart: the update says what it waits for
// (with the adapter) instead of falling silent, and the history holds the
// versions before, the outcome, and the versions read after the restart.
TEST(Kr35ctlUpdateTest, ASlowRestartIsNeverSilentAndTheHistoryIsWhole) {
  const fs::path dir = fs::temp_directory_path() / ("kr35ctl_slow_" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  std::ofstream(dir / "slow.json")
      << R"({"hid": {"restart_ms": 3500}, "versions": {"usb": "0x0100", "dsp": "0x0100"}})";
  const std::string command = "cd '" + dir.string() +
                              "' && '" KR35CTL_PATH
                              "' --json --simulate=slow.json --history=history.jsonl update "
                              "--yes </dev/null >out.txt 2>err.txt";
  ASSERT_EQ(std::system(command.c_str()), 0) << ReadText(dir / "err.txt");
  int waits = 0;
  for (const std::string& line : Lines(ReadText(dir / "out.txt"))) {
    const json event = json::parse(line);
    if (event["event"] != "waiting") continue;
    ++waits;
    EXPECT_EQ(event["for"], "restart");
    EXPECT_EQ(event["adapter"]["port"], "0");
    EXPECT_GE(event["seconds"], 2);
  }
  EXPECT_GE(waits, 1);
  std::map<std::string, json> records;
  for (const std::string& line : Lines(ReadText(dir / "history.jsonl"))) {
    const json record = json::parse(line);
    records[record["record"]] = record;
  }
  ASSERT_EQ(records.size(), 3u) << ReadText(dir / "history.jsonl");
  EXPECT_EQ(records["begin"]["before"], (json{{"usb", 0x100}, {"dsp", 0x100}}));
  EXPECT_EQ(records["end"]["outcome"], "done");
  EXPECT_EQ(records["after"]["after"], (json{{"usb", 0x104}, {"dsp", 0x107}}));
  fs::remove_all(dir);
}

// Two adapters give one serial number, a third its own: --serial picks only
// an adapter whose serial number is its own, and names every adapter otherwise.
TEST(Kr35ctlUpdateTest, SerialPicksOneAdapterOrEndsWithTheList) {
  struct Case {
    const char* args;
    int status;
    const char* out;  // stdout contains
    const char* err;  // stderr contains
  };
  const Case cases[] = {
      {"list", 0, "serial TWIN  port 1", "2 adapters give the serial number TWIN"},
      {"--serial=SOLO versions", 0, "version: USB 0100, DSP 0100", ""},
      {"--serial=TWIN versions", 3, "", "several adapters have the serial number TWIN"},
      {"--serial=NONE versions", 3, "", "sim:adapter2  serial SOLO  port 2"},
      {"--serial=SOLO update --dry-run", 0, "plan: SOLO  ", ""},
      {"--serial=TWIN update --dry-run", 3, "", "several adapters have"},
  };
  const fs::path dir = fs::temp_directory_path() / ("kr35ctl_serial_" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  std::ofstream(dir / "three.json")
      << R"({"hid": {"adapters": [{"serial": "TWIN"}, {"serial": "TWIN"}, {"serial": "SOLO"}]}})";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const std::string command = "cd '" + dir.string() +
                                "' && '" KR35CTL_PATH "' --simulate=three.json " + c.args +
                                " </dev/null >out.txt 2>err.txt";
    const int wait = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(wait));
    EXPECT_EQ(WEXITSTATUS(wait), c.status);
    EXPECT_NE(ReadText(dir / "out.txt").find(c.out), std::string::npos)
        << ReadText(dir / "out.txt");
    EXPECT_NE(ReadText(dir / "err.txt").find(c.err), std::string::npos)
        << ReadText(dir / "err.txt");
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace kr35
