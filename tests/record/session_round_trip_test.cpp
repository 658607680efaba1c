// Sessions recorded on the simulated adapter and played back through kr35ctl's
// commands: the same output and the same reports on the wire, and a clear
// end where the program or the file departs from the recording.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "app/console/capture_file.h"
#include "app/console/dialog_commands.h"
#include "app/console/exit_status.h"
#include "firmware/intel_hex_writer.h"

namespace kr35 {
namespace {

namespace fs = std::filesystem;
using testing::CaptureFile;

struct RunResult {
  int status = -1;
  std::string output;
  std::string errors;
};

class SessionRoundTripTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("kr35_record_" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  std::string WriteFile(const std::string& name, const std::string& text) const {
    std::ofstream(Path(name), std::ios::binary) << text;
    return Path(name);
  }

  // One kr35ctl download (standard mode unless HEX files are given).
  // The waiting lines say how long nothing moved, in real time: a replay at
  // full speed skips the pauses that made them, so they are no part of what
  // a replay repeats.
  static std::string WithoutWaitingLines(const std::string& output) {
    std::istringstream lines(output);
    std::string kept;
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind("waiting: ", 0) != 0) kept += line + "\n";
    }
    return kept;
  }
  static RunResult Download(ServiceOptions options, const std::string& usbHex = "",
                            const std::string& dspHex = "") {
    options.program = "kr35ctl";
    RunResult result;
    ::testing::internal::CaptureStderr();
    std::string error;
    if (auto services = PlatformServices::Create(options, error)) {
      CaptureFile out;
      EventPrinter printer(OutputStyle::kLines, out.get());
      ConsoleOptions console;
      console.assumeYes = true;
      result.status = RunDownloadCommand(*services, printer, console, usbHex, dspHex);
      result.output = WithoutWaitingLines(out.Text());
    }
    result.errors = ::testing::internal::GetCapturedStderr() + error;
    return result;
  }
  // kr35ctl list in the given style.
  static RunResult List(ServiceOptions options, OutputStyle style = OutputStyle::kLines) {
    options.program = "kr35ctl";
    RunResult result;
    std::string error;
    if (auto services = PlatformServices::Create(options, error)) {
      CaptureFile out;
      EventPrinter printer(style, out.get());
      result.status = RunListCommand(*services, printer);
      printer.Finish();
      result.output = out.Text();
    }
    result.errors = error;
    return result;
  }
  // The recording with every line that `keep` refuses left out, and `edit`
  // applied to the others.
  std::string Rewrite(const std::string& recording, const std::string& name,
                      const std::function<bool(const std::string&)>& keep,
                      const std::function<std::string(std::string)>& edit) const {
    std::ifstream in(recording);
    std::ostringstream out;
    for (std::string line; std::getline(in, line);) {
      if (keep(line)) out << edit(line) << "\n";
    }
    return WriteFile(name, out.str());
  }
  static ServiceOptions Simulated(const std::string& scenario, const std::string& record) {
    ServiceOptions options;
    options.simulate = true;
    options.scenarioPath = scenario;
    options.recordPath = record;
    return options;
  }
  static ServiceOptions Replayed(const std::string& replay, const std::string& record = "") {
    ServiceOptions options;
    options.replayPath = replay;
    options.replayMaxSpeed = true;
    options.recordPath = record;
    return options;
  }

  // The reports that crossed the wire, in order, as "write HEX" and "read HEX".
  static std::vector<std::string> Wire(const std::string& recording) {
    std::vector<std::string> wire;
    std::ifstream in(recording);
    for (std::string line; std::getline(in, line);) {
      const auto report = line.find("\"report\":\"");
      if (report == std::string::npos) continue;
      const auto start = report + 10;
      const bool write = line.find("\"event\":\"write\"") != std::string::npos;
      wire.push_back((write ? "write " : "read ") +
                     line.substr(start, line.find('"', start) - start));
    }
    return wire;
  }

  fs::path dir_;
};

std::string ScenarioText(int busyPolls, const std::string& rules) {
  return "{\"busy_polls\": " + std::to_string(busyPolls) + ", \"rules\": [" + rules + "]}";
}

// Faulty sessions replay the same failure texts as clean ones replay success.
TEST_F(SessionRoundTripTest, ReplayRepeatsTheOutputAndTheWireOfEachScenario) {
  const struct {
    const char* name;
    int busyPolls;
    std::string rules;
    int status;
  } cases[] = {
      {"clean", 0, "", kExitDone},
      {"refused", 0,
       R"({"match": {"command": "CMD_USB_BLOCK", "block": 3}, "answer": "RSP_NAK_CMD"})",
       kExitFailed},
      {"busy", 2,
       R"({"match": {"command": "CMD_DSP_BLOCK", "block": 2}, "answer": "RSP_NAK_DSP", "times": 2})",
       kExitDone},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string scenario =
        WriteFile(std::string(c.name) + ".json", ScenarioText(c.busyPolls, c.rules));
    const std::string recording = Path(std::string(c.name) + ".jsonl");
    const RunResult recorded = Download(Simulated(scenario, recording));
    ASSERT_EQ(recorded.status, c.status) << recorded.errors;

    const std::string again = Path(std::string(c.name) + "-again.jsonl");
    const RunResult replayed = Download(Replayed(recording, again));
    EXPECT_EQ(replayed.status, c.status) << replayed.errors;
    EXPECT_EQ(replayed.output, recorded.output);
    EXPECT_EQ(replayed.errors, "");
    EXPECT_EQ(Wire(again), Wire(recording));
  }
}

// Each `"key":VALUE` in `line` becomes `"key":null`, where VALUE is a
// string, or the digits that follow.
std::string NullEvery(std::string line, const std::string& key) {
  const std::string member = "\"" + key + "\":";
  for (std::size_t at = line.find(member); at != std::string::npos;
       at = line.find(member, at + 1)) {
    const std::size_t value = at + member.size();
    std::size_t end = value;
    if (end < line.size() && line[end] == '"') {
      end = line.find('"', end + 1) + 1;
    } else {
      while (end < line.size() && line[end] >= '0' && line[end] <= '9') ++end;
    }
    line.replace(value, end - value, "null");
  }
  return line;
}

// Windows gives no descriptor bytes: its recordings carry only what hid.dll's
// parser said, with the bit offsets found by probing it (absent from the
// earliest recordings, where each report's fields are laid out in order).
TEST_F(SessionRoundTripTest, ARecordingWithoutDescriptorBytesReplaysFromItsCaps) {
  const std::string recording = Path("linux.jsonl");
  const RunResult recorded = Download(Simulated("", recording));
  ASSERT_EQ(recorded.status, kExitDone) << recorded.errors;
  const auto all = [](const std::string&) { return true; };
  for (const bool withOffsets : {true, false}) {
    SCOPED_TRACE(withOffsets ? "with offsets" : "without offsets");
    const std::string windows = Rewrite(recording, "windows.jsonl", all, [&](std::string line) {
      line = NullEvery(line, "bytes");
      return withOffsets ? line : NullEvery(line, "bitOffset");
    });
    const std::string again = Path("again.jsonl");
    const RunResult replayed = Download(Replayed(windows, again));
    EXPECT_EQ(replayed.status, kExitDone) << replayed.errors;
    EXPECT_EQ(replayed.output, recorded.output);
    EXPECT_EQ(Wire(again), Wire(recording));
  }
}

// The serial number and the USB port go into the list, the recording and its
// replay; a recording made before they were kept replays without them.
TEST_F(SessionRoundTripTest, TheSerialNumberAndPortAreListedRecordedAndReplayed) {
  const std::string scenario =
      WriteFile("serial.json", R"({"hid": {"adapters": 2, "serial": "SN-0042"}})");
  const std::string recording = Path("list.jsonl");
  const RunResult listed = List(Simulated(scenario, recording));
  ASSERT_EQ(listed.status, kExitDone) << listed.errors;
  const std::string adapter = "  3c1f:5e35  Simulated  KR35 Headset Adapter (simulated)";
  EXPECT_EQ(listed.output, "adapter: sim:adapter0" + adapter + "  serial SN-0042  port 0\n" +
                               "adapter: sim:adapter1" + adapter + "  serial SN-0042  port 1\n");
  EXPECT_NE(List(Simulated(scenario, ""), OutputStyle::kJson)
                .output.find(R"("serial":"SN-0042","port":"1")"),
            std::string::npos);
  EXPECT_EQ(List(Replayed(recording)).output, listed.output);

  const std::string older = Rewrite(
      recording, "older.jsonl",
      [](const std::string& line) {
        return line.find("\"event\":\"serial\"") == std::string::npos &&
               line.find("\"event\":\"port\"") == std::string::npos;
      },
      [](std::string line) { return line; });
  EXPECT_EQ(List(Replayed(older)).output, "adapter: sim:adapter0" + adapter +
                                              "  serial -  port -\n" + "adapter: sim:adapter1" +
                                              adapter + "  serial -  port -\n");
  EXPECT_NE(List(Replayed(older), OutputStyle::kJson).output.find(R"("serial":null,"port":null)"),
            std::string::npos);
}

TEST_F(SessionRoundTripTest, ADifferentImageDivergesAtItsFirstDifferingBlock) {
  std::vector<std::uint8_t> payload(200, 0x11);
  const std::string usbA = WriteFile("a.hex", WriteIntelHex(payload));
  payload[150] = 0x22;
  const std::string usbB = WriteFile("b.hex", WriteIntelHex(payload));
  const std::string recordingA = Path("a.jsonl");
  const std::string recordingB = Path("b.jsonl");
  ASSERT_EQ(Download(Simulated("", recordingA), usbA).status, kExitDone);
  ASSERT_EQ(Download(Simulated("", recordingB), usbB).status, kExitDone);
  std::vector<std::string> writesA, writesB;
  for (const auto& r : Wire(recordingA))
    if (r.starts_with("write")) writesA.push_back(r);
  for (const auto& r : Wire(recordingB))
    if (r.starts_with("write")) writesB.push_back(r);
  const auto differ = std::mismatch(writesA.begin(), writesA.end(), writesB.begin());
  ASSERT_NE(differ.first, writesA.end());
  const std::size_t number = static_cast<std::size_t>(differ.first - writesA.begin()) + 1;

  const RunResult replayed = Download(Replayed(recordingA), usbB);
  EXPECT_EQ(replayed.status, kExitFailed);
  EXPECT_NE(
      replayed.errors.find("replay: output report " + std::to_string(number) +
                           " differs from the recording\n  recorded: " + differ.first->substr(6) +
                           "\n  written:  " + differ.second->substr(6)),
      std::string::npos)
      << replayed.errors;
}

TEST_F(SessionRoundTripTest, ARecordingCutShortEndsLikeAnUnplug) {
  const std::string recording = Path("full.jsonl");
  ASSERT_EQ(Download(Simulated("", recording)).status, kExitDone);
  // Keep the lines up to the tenth output report, and half of the next line,
  // as a crash while writing would leave them.
  std::ifstream in(recording);
  std::ostringstream cut;
  int writes = 0;
  for (std::string line; std::getline(in, line);) {
    if (writes == 10) {
      cut << line.substr(0, line.size() / 2);
      break;
    }
    cut << line << "\n";
    if (line.find("\"event\":\"write\"") != std::string::npos) ++writes;
  }
  const std::string shortened = WriteFile("cut.jsonl", cut.str());

  const RunResult replayed = Download(Replayed(shortened));
  EXPECT_EQ(replayed.status, kExitFailed);
  EXPECT_NE(replayed.errors.find("replay: the recording ends before output report 11"),
            std::string::npos)
      << replayed.errors;
}

TEST_F(SessionRoundTripTest, WhatIsNotARecordingIsRefused) {
  const std::string cases[] = {
      "", "{\"format\":\"other\"}\n", "not json\n",
      "{\"format\":\"kr35-session\",\"version\":1}\n"
      "{\"t_us\":1,\"event\":\"write\",\"writer\":7,\"report\":\"00\",\"ok\":true}\n"};
  for (const std::string& text : cases) {
    const RunResult replayed = Download(Replayed(WriteFile("bad.jsonl", text)));
    EXPECT_EQ(replayed.status, -1) << text;
    EXPECT_NE(replayed.errors.find("bad.jsonl"), std::string::npos) << replayed.errors;
  }
}

}  // namespace
}  // namespace kr35
