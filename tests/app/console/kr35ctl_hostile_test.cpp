// kr35ctl run as a program under hostile but realistic conditions on the
// simulated adapter: bad paths and files, adapters that cut or garble
// reports, closed outputs and signals. Each case checks the exit status, what
// the user is told and, through the simulator's trace, that no download frame
// went out when the run had to stop before the first one.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/console/text_file.h"
#include "firmware/intel_hex_writer.h"

namespace kr35 {
namespace {

namespace fs = std::filesystem;

struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};

class Kr35ctlHostileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("kr35ctl_hostile_" + std::to_string(getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    Write("usb.hex", WriteIntelHex(std::vector<std::uint8_t>(40, 0x11)));
    Write("dsp.hex", WriteIntelHex(std::vector<std::uint8_t>(50, 0x22)));
    Write("empty.hex", "");
    Write("random.bin", "\x01\x7f garbage without records \xfe");
    fs::create_directories(dir_ / "subdir");
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path Write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name, std::ios::binary) << text;
    return dir_ / name;
  }

  // Starts kr35ctl in the test's directory with `{dir}` in arguments replaced
  // by it. stdout goes to `stdoutFd` when given, else to `stdoutPath`, else
  // to a file of the test's that Finish reads; stderr to a file of the test's.
  pid_t Start(std::vector<std::string> args, const std::string& stdoutPath = "",
              int stdoutFd = -1) {
    for (std::string& arg : args) {
      for (auto at = arg.find("{dir}"); at != std::string::npos; at = arg.find("{dir}")) {
        arg.replace(at, 5, dir_.string());
      }
    }
    const pid_t pid = fork();
    if (pid == 0) {
      const fs::path out = stdoutPath.empty() ? StdoutFile() : fs::path(stdoutPath);
      ExecChild(args, out, StderrFile(pid), stdoutFd);
    }
    return pid;
  }

  RunResult Finish(pid_t pid) {
    RunResult run;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = ReadText(StdoutFile());
    run.err = ReadText(StderrFile(pid));
    return run;
  }

  RunResult Kr35ctl(std::vector<std::string> args, const std::string& stdoutPath = "",
                    int stdoutFd = -1) {
    fs::remove(StdoutFile());
    return Finish(Start(std::move(args), stdoutPath, stdoutFd));
  }

  fs::path StdoutFile() const { return dir_ / "stdout.txt"; }
  // Named by the child's pid: 0 in the child itself, which asks getpid().
  fs::path StderrFile(pid_t pid) const {
    return dir_ / ("stderr" + std::to_string(pid == 0 ? getpid() : pid) + ".txt");
  }

  [[noreturn]] void ExecChild(const std::vector<std::string>& args, const fs::path& out,
                              const fs::path& err, int stdoutFd) {
    const int in = open("/dev/null", O_RDONLY);
    const int outFd =
        stdoutFd >= 0 ? stdoutFd : open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || outFd < 0 || errFd < 0 || chdir(dir_.c_str()) != 0) _exit(120);
    if (fileSizeLimit_ > 0) {
      const rlimit limit{fileSizeLimit_, fileSizeLimit_};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    dup2(in, 0);
    dup2(outFd, 1);
    dup2(errFd, 2);
    std::string program = KR35CTL_PATH;
    std::vector<char*> argv{program.data()};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(121);
  }

  // True when the trace holds a frame that starts writing firmware.
  bool DownloadStarted() const {
    const std::string trace = ReadText(dir_ / "trace.jsonl");
    return trace.find("\"bytes\": \"020d") != std::string::npos ||
           trace.find("\"bytes\": \"020f") != std::string::npos;
  }

  fs::path dir_;
  rlim_t fileSizeLimit_ = 0;  // ulimit -f for the child, in bytes; 0: none
};

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

struct Case {
  const char* name;
  std::string scenario;  // the simulator's scenario; empty: the default adapter
  std::vector<std::string> args;
  int status;
  std::string errHas;  // stderr contains this
  std::string outHas;  // stdout contains this (may be empty)
  std::string outLacks;
  bool downloadStarts;    // a download frame reached the adapter
  bool simulated = true;  // the harness adds --simulate and the trace
};

TEST_F(Kr35ctlHostileTest, RefusesOrExplainsWithoutHalfUpdatingOrCrashing) {
  const std::string longName(256, 'n');
  fs::create_symlink("loop-b", dir_ / "loop-a");
  fs::create_symlink("loop-a", dir_ / "loop-b");
  const std::vector<Case> cases = {
      {"missing USB file after a good DSP file",
       "",
       {"download", "--yes", "--usb=missing.hex", "--dsp=dsp.hex"},
       2,
       "missing.hex",
       "",
       "",
       false},
      {"USB path is a directory",
       "",
       {"download", "--yes", "--usb=subdir", "--dsp=dsp.hex"},
       2,
       "is a directory",
       "",
       "",
       false},
      {"empty USB file",
       "",
       {"download", "--yes", "--usb=empty.hex", "--dsp=dsp.hex"},
       2,
       "is empty",
       "",
       "",
       false},
      {"file without data records",
       "",
       {"download", "--yes", "--dsp=random.bin"},
       2,
       "no Intel HEX data records",
       "",
       "",
       false},
      {"explicitly empty paths with '='",
       "",
       {"download", "--yes", "--usb=", "--dsp="},
       2,
       "--usb needs a file name",
       "",
       "",
       false},
      {"explicitly empty paths as words",
       "",
       {"download", "--yes", "--usb", "", "--dsp", ""},
       2,
       "--usb needs a file name",
       "",
       "",
       false},
      {"report too short for a USB block",
       R"({"hid": {"output_report_length": 20}})",
       {"download", "--yes"},
       1,
       "",
       "output report length 20",
       "successful",
       false},
      {"report cuts the USB block frame",
       R"({"hid": {"output_report_length": 33}})",
       {"download", "--yes", "--usb=usb.hex", "--dsp=dsp.hex"},
       1,
       "",
       "output report length 33",
       "Success!",
       false},
      {"DSP-only work keeps the 4..64 rule",
       R"({"hid": {"output_report_length": 20}})",
       {"download", "--yes", "--dsp=dsp.hex"},
       0,
       "",
       "Success!",
       "",
       true},
      {"unreadable response arrays are no answer",
       R"({"force_checksum_bad": "both", "hid": {"response_length": 16}})",
       {"--sim-response-wait=10", "download", "--yes"},
       1,
       "no answer from the adapter after 10 attempts",
       "",
       "successful",
       true},
      {"versions with unreadable responses",
       R"({"hid": {"response_length": 16}})",
       {"--sim-response-wait=10", "versions"},
       1,
       "no answer from the adapter after 10 attempts",
       "version: the adapter did not answer the versions query",
       "RSP_ACK",
       false},
      {"adapter that does not come back after its restart",
       R"({"hid": {"restart_ms": 60000}})",
       {"download", "--yes"},
       1,
       "",
       "verify: the adapter did not come back within 5 s of its restart",
       "",
       true},
      {"writes never open",
       R"({"hid": {"write_opens": false}})",
       {"--sim-response-wait=10", "versions"},
       1,
       "cannot be opened for writing",
       "",
       "",
       false},
      {"state file name too long",
       "",
       {"--sim-state=" + longName, "versions"},
       2,
       "File name too long",
       "",
       "",
       false},
      {"state file in a symlink loop",
       "",
       {"--sim-state=loop-a", "versions"},
       2,
       "symbolic links",
       "",
       "",
       false},
      {"state file in a missing directory",
       "",
       {"--sim-state=nodir/state.json", "download", "--yes"},
       2,
       "No such file or directory",
       "",
       "",
       false},
      {"trace onto the HEX input",
       "",
       {"--sim-trace=dsp.hex", "download", "--yes", "--dsp=dsp.hex"},
       2,
       "is also an input",
       "",
       "",
       false},
      {"trace onto a state file still to be created",
       "",
       {"--sim-trace=new-state.json", "--sim-state=new-state.json", "versions"},
       2,
       "is also an input",
       "",
       "",
       false},
      {"unknown subcommand", "", {"bogus"}, 2, "unknown subcommand 'bogus'", "", "", false},
      {"device strings that would drive the terminal",
       R"({"hid": {"product": "KR35\u001b[31m red\r\nadapter: forged\u0000cut",
                   "serial": "S\u009b2J"}})",
       {"list"},
       0,
       "",
       "KR35\\x1b[31m red\\r\\nadapter: forged\\0cut  serial S\\xc2\\x9b2J",
       "\x1b",
       false},
      // Outputs against inputs and each other: refused before anything is opened.
      {"recording onto the USB HEX input",
       "",
       {"--record=usb.hex", "download", "--yes", "--usb=usb.hex", "--dsp=dsp.hex"},
       2,
       "'usb.hex' (--record) is also an input ('usb.hex', --usb)",
       "",
       "",
       false},
      {"recording onto the state file",
       "",
       {"--record=state.json", "--sim-state=state.json", "versions"},
       2,
       "(--record) is also an input",
       "",
       "",
       false},
      {"recording onto the trace",
       "",
       {"--record=trace.jsonl", "versions"},
       2,
       "(--record) is also an output ('trace.jsonl', --sim-trace)",
       "",
       "",
       false},
      {"recording onto the scenario",
       "",
       {"--simulate=mine.json", "--record=./mine.json", "versions"},
       2,
       "is also an input",
       "",
       "",
       false},
      {"recording onto the recording replayed",
       "",
       {"--replay=field.jsonl", "--record=field.jsonl", "versions"},
       2,
       "is also an input",
       "",
       "",
       false,
       false},
      {"empty recording name",
       "",
       {"--record=", "versions"},
       2,
       "--record needs a file name",
       "",
       "",
       false},
      {"empty device name",
       "",
       {"--device=", "versions"},
       2,
       "--device needs a file name",
       "",
       "",
       false},
      // The simulator's options never reach a real adapter.
      {"state file without --simulate",
       "",
       {"--sim-state=flash.json", "download", "--yes"},
       2,
       "--sim-state requires --simulate",
       "",
       "",
       false,
       false},
      {"trace without --simulate",
       "",
       {"--sim-trace=t.jsonl", "versions"},
       2,
       "--sim-trace requires --simulate",
       "",
       "",
       false,
       false},
      {"response wait without --simulate",
       "",
       {"--sim-response-wait=10", "versions"},
       2,
       "--sim-response-wait requires --simulate",
       "",
       "",
       false,
       false},
      // A corrupted HEX record is never flashed nor converted.
      {"download of a record with a wrong checksum",
       "",
       {"download", "--yes", "--usb=badsum.hex", "--dsp=dsp.hex"},
       2,
       "\"badsum.hex\" line 2: wrong checksum",
       "",
       "",
       false},
      {"convert of a record with a wrong checksum",
       "",
       {"convert", "--dsp=badsum.hex"},
       2,
       "line 2: wrong checksum",
       "",
       "",
       false},
      {"image lists the bad record",
       "",
       {"image", "badsum.hex"},
       1,
       "",
       "badsum.hex line 2: bad checksum",
       "",
       false},
      {"image lists disorder and gaps",
       "",
       {"image", "disorder.hex"},
       0,
       "",
       "disorder.hex line 2: gap: 16 bytes missing from 0x10 to 0x20",
       "",
       false},
      // Recordings a replay cannot present as an adapter are refused in words.
      {"recording of another vendor's device",
       "",
       {"--replay=other-vendor.jsonl", "versions"},
       2,
       "which are not a KR35 adapter's",
       "",
       "",
       false,
       false},
      {"recording with an enumeration without its paths",
       "",
       {"--replay=no-paths.jsonl", "versions"},
       2,
       "line 3: the event has no 'paths' field",
       "",
       "",
       false,
       false},
      // A short command replayed from a long recording succeeds and says so.
      {"versions replayed from a download recording",
       "",
       {"--replay=download.jsonl", "--replay-speed=max", "versions"},
       0,
       "kr35ctl: replay: stopped after output report",
       "",
       "",
       false,
       false},
      {"the same with --json",
       "",
       {"--replay=download.jsonl", "--replay-speed=max", "--json", "versions"},
       0,
       "",
       "\"replay\":{\"written\":",
       "",
       false,
       false},
      // --device for the adapter recorded changes nothing in a replay.
      {"replay with --device of a recording made without",
       "",
       {"--replay=field.jsonl", "--replay-speed=max", "--device=sim:adapter0", "versions"},
       0,
       "",
       "version: USB",
       "",
       false,
       false},
      {"replay without --device of a recording made with it",
       "",
       {"--replay=field-device.jsonl", "--replay-speed=max", "versions"},
       0,
       "",
       "version: USB",
       "",
       false,
       false},
      {"recording whose enumeration is empty",
       "",
       {"--replay=no-interface.jsonl", "versions"},
       2,
       "line 3: the recorded enumeration lists no HID interface",
       "",
       "",
       false,
       false},
      {"scenario is a directory",
       "",
       {"--simulate=subdir", "versions"},
       2,
       "is a directory",
       "",
       "",
       false},
      {"scenario is not JSON",
       "",
       {"--simulate=bad.json", "versions"},
       2,
       "line 2, column",
       "",
       "",
       false},
      {"convert of a 3 GB sparse file",
       "",
       {"convert", "--usb=huge.hex"},
       2,
       "larger than",
       "",
       "",
       false},
      {"convert of an empty file",
       "",
       {"convert", "--usb=empty.hex"},
       1,
       "is empty",
       "Fail!",
       "",
       false},
      {"negative duration", "", {"monitor", "--duration=-1"}, 2, "positive", "", "", false},
      {"infinite duration", "", {"monitor", "--duration=-inf"}, 2, "positive", "", "", false},
      {"duration not a number", "", {"monitor", "--duration=nan"}, 2, "positive", "", "", false},
      {"no terminal to confirm on", "", {"download"}, 1, "download cancelled", "", "", false},
  };
  Write("bad.json", "{\n  \"hid\": {,}\n}\n");
  Write("mine.json", "{}");
  // Line 2 of a written file is its first data record; its last digit changed.
  std::string badSum = WriteIntelHex(std::vector<std::uint8_t>(40, 0x11));
  const auto secondLineEnd = badSum.find('\n', badSum.find('\n') + 1);
  const auto lastDigit = badSum.find_last_not_of("\r", secondLineEnd - 1);
  badSum[lastDigit] = badSum[lastDigit] == '0' ? '1' : '0';
  Write("badsum.hex", badSum);
  Write("disorder.hex",
        ":10000000000102030405060708090A0B0C0D0E0F78\n"
        ":10002000000102030405060708090A0B0C0D0E0F58\n"
        ":10000000000102030405060708090A0B0C0D0E0F78\n"
        ":00000001FF\n");
  // Recordings: one made here, then edited.
  ASSERT_EQ(Kr35ctl({"--simulate", "--record=field.jsonl", "versions"}).status, 0);
  ASSERT_EQ(
      Kr35ctl({"--simulate", "--record=field-device.jsonl", "--device=sim:adapter0", "versions"})
          .status,
      0);
  ASSERT_EQ(Kr35ctl({"--simulate", "--record=download.jsonl", "download", "--yes", "--dsp=dsp.hex"})
                .status,
            0);
  const std::string field = ReadText(dir_ / "field.jsonl");
  const auto replaceFirst = [](std::string text, const std::string& from, const std::string& to) {
    const auto at = text.find(from);
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
  };
  Write("other-vendor.jsonl", replaceFirst(field, "\"vendorId\":15391", "\"vendorId\":4660"));
  Write("no-paths.jsonl", replaceFirst(field, "\"paths\":", "\"files\":"));
  std::string noInterface = field;  // every enumeration lists nothing
  for (auto at = noInterface.find("\"paths\":["); at != std::string::npos;
       at = noInterface.find("\"paths\":[", at + 1)) {
    noInterface.replace(at + 9, noInterface.find(']', at) - at - 8, "]");
  }
  Write("no-interface.jsonl", noInterface);
  std::ofstream(dir_ / "huge.hex").close();
  fs::resize_file(dir_ / "huge.hex", std::uintmax_t{3} << 30);  // sparse: refused by its size
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> args;
    if (c.simulated && c.args.front() != "convert" && c.args.front() != "image" &&
        c.args.front() != "bogus" && !c.args.front().starts_with("--simulate=")) {
      args.push_back(c.scenario.empty()
                         ? "--simulate"
                         : "--simulate=" + Write("scenario.json", c.scenario).string());
      if (!c.args.front().starts_with("--sim-trace")) args.push_back("--sim-trace=trace.jsonl");
    }
    args.insert(args.end(), c.args.begin(), c.args.end());
    fs::remove(dir_ / "trace.jsonl");
    const RunResult run = Kr35ctl(args);
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_TRUE(Contains(run.err, c.errHas)) << run.err;
    EXPECT_TRUE(Contains(run.out, c.outHas)) << run.out;
    if (!c.outLacks.empty()) {
      EXPECT_FALSE(Contains(run.out, c.outLacks)) << run.out;
    }
    EXPECT_EQ(DownloadStarted(), c.downloadStarts);
  }
  // A replay that departs inside the DSP status wait says so at once, not
  // after the minute a busy adapter is given.
  std::string statusDiverges = ReadText(dir_ / "download.jsonl");
  const auto dspStart = statusDiverges.find("\"report\":\"020d");
  const auto poll = statusDiverges.find("\"report\":\"02", dspStart + 1) + 12;
  ASSERT_NE(dspStart, std::string::npos);
  statusDiverges[poll] = statusDiverges[poll] == '0' ? '1' : '0';
  Write("status-diverges.jsonl", statusDiverges);
  const auto started = std::chrono::steady_clock::now();
  const RunResult diverged =
      Kr35ctl({"--replay=status-diverges.jsonl", "download", "--yes", "--dsp=dsp.hex"});
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
  EXPECT_EQ(diverged.status, 1) << diverged.err;
  EXPECT_TRUE(Contains(diverged.err, "differs from the recording")) << diverged.err;

  // The outputs refused above did not touch the inputs they named.
  EXPECT_EQ(ReadText(dir_ / "dsp.hex"), WriteIntelHex(std::vector<std::uint8_t>(50, 0x22)));
  EXPECT_EQ(ReadText(dir_ / "usb.hex"), WriteIntelHex(std::vector<std::uint8_t>(40, 0x11)));
  EXPECT_EQ(ReadText(dir_ / "field.jsonl"), field);
  EXPECT_EQ(ReadText(dir_ / "mine.json"), "{}");
  EXPECT_FALSE(fs::exists(dir_ / "state.json"));
}

// A replay gives the same result in every run, whatever the threads' timing:
// a headset status after each versions answer; an answer recorded ahead of
// its query and not due yet when the query goes out departs every time. A
// replay that departs says what in the set-up may be the cause.
TEST_F(Kr35ctlHostileTest, ReplaysAreDeterministicAndNameTheSetUpThatDiffers) {
  Write("status.json", R"({"rules": [{"match": {"command": "CMD_VERSIONS"},
      "unsolicited": [{"headset_status": 1}], "times": "always"}]})");
  Kr35ctl({"--simulate=status.json", "--record=status.jsonl", "versions"});
  ASSERT_EQ(Kr35ctl({"--simulate", "--record=plain.jsonl", "versions"}).status, 0);
  // The answer recorded ahead of its query, and due only 5 s after it: the
  // program cannot have read it when it writes the query.
  std::string swapped = ReadText(dir_ / "plain.jsonl");
  const auto write = swapped.rfind('\n', swapped.find("\"event\":\"write\"")) + 1;
  const auto read = swapped.find('\n', write) + 1;
  const auto readEnd = swapped.find('\n', read) + 1;
  ASSERT_NE(swapped.find("\"event\":\"read\"", read), std::string::npos);
  std::string answer = swapped.substr(read, readEnd - read);
  answer.replace(answer.find("\"t_us\":") + 7, answer.find(',') - answer.find("\"t_us\":") - 7,
                 "5000000");
  swapped = swapped.substr(0, write) + answer + swapped.substr(write, read - write) +
            swapped.substr(readEnd);
  Write("swapped.jsonl", swapped);

  const auto replay = [&](const std::string& recording) {
    const RunResult run = Kr35ctl({"--replay=" + recording, "--replay-speed=max", "versions"});
    return std::to_string(run.status) + "\n" + run.out + run.err;
  };
  const std::string first = replay("status.jsonl");
  for (int run = 1; run < 20; ++run) ASSERT_EQ(replay("status.jsonl"), first) << "run " << run;
  for (int run = 0; run < 3; ++run) {
    const RunResult swappedRun = Kr35ctl({"--replay=swapped.jsonl", "versions"});
    ASSERT_EQ(swappedRun.status, 1) << "run " << run << "\n" << swappedRun.out << swappedRun.err;
    ASSERT_TRUE(Contains(swappedRun.err,
                         "kr35ctl: replay: output report 1 was written before "
                         "the program read the input report recorded ahead of it"))
        << swappedRun.err;
  }

  // Another command than the one recorded, another output report length.
  RunResult run = Kr35ctl({"--replay=plain.jsonl", "--replay-speed=max", "download", "--yes"});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Contains(run.err, "was it recorded with another command")) << run.err;
  std::string shorter = ReadText(dir_ / "plain.jsonl");
  const auto report = shorter.find("\"report\":\"029c") + 10;
  shorter.erase(report + 8, shorter.find('"', report) - report - 8);
  Write("shorter.jsonl", shorter);
  run = Kr35ctl({"--replay=shorter.jsonl", "--replay-speed=max", "versions"});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Contains(run.err, "64 bytes long, 4 when recorded")) << run.err;
}

TEST_F(Kr35ctlHostileTest, StateFileKeepsItsLinkAndLostOutputIsReportedNotFatal) {
  fs::create_directories(dir_ / "real");
  fs::create_symlink("real/state.json", dir_ / "link.json");
  RunResult run =
      Kr35ctl({"--simulate", "--sim-state=link.json", "download", "--yes", "--dsp=dsp.hex"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(fs::is_symlink(dir_ / "link.json"));
  EXPECT_TRUE(Contains(ReadText(dir_ / "real/state.json"), "kr35_sim_flash"));

  // A full disk under stdout or the trace: the run's outcome decides the exit.
  run = Kr35ctl({"--simulate", "versions"}, "/dev/full");
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(Contains(run.err, "output was lost: No space left on device")) << run.err;
  run = Kr35ctl({"--simulate", "--sim-trace=/dev/full", "versions"});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(Contains(run.err, "trace is incomplete")) << run.err;

  // A reader that went away (`| head`): the transfer finishes anyway.
  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  close(pipeFds[0]);
  run = Kr35ctl({"--simulate", "--sim-state=state.json", "download", "--yes", "--dsp=dsp.hex"}, "",
                pipeFds[1]);
  close(pipeFds[1]);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(Contains(run.err, "output was lost")) << run.err;
  EXPECT_TRUE(Contains(ReadText(dir_ / "state.json"), "\"dsp\":\"")) << "the DSP part was stored";

  // A file-size limit (ulimit -f) cuts the recording: no SIGXFSZ death, the
  // transfer ends, the state is kept, and the run says it was not fully recorded.
  fs::remove(dir_ / "state.json");
  fileSizeLimit_ = 4096;
  run = Kr35ctl({"--simulate", "--sim-state=state.json", "--record=cut.jsonl", "download", "--yes",
                 "--usb=usb.hex", "--dsp=dsp.hex"});
  fileSizeLimit_ = 0;
  EXPECT_EQ(run.status, 4) << run.err;
  EXPECT_TRUE(Contains(run.out, "Success!")) << run.out;
  EXPECT_TRUE(Contains(run.err, "the recording cut.jsonl is incomplete")) << run.err;
  EXPECT_TRUE(Contains(run.err, "File too large")) << run.err;
  EXPECT_TRUE(Contains(ReadText(dir_ / "state.json"), "\"usb\":\""));
  // A recording that cannot be started says why.
  run = Kr35ctl({"--simulate", "--record=/dev/full", "versions"});
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(Contains(run.err, "cannot write the recording /dev/full: No space left on device"))
      << run.err;
}

TEST_F(Kr35ctlHostileTest, ConcurrentRunsNeverLeaveAnEmptyStateFile) {
  std::vector<pid_t> children;
  for (int i = 0; i < 4; ++i) {
    children.push_back(Start({"--simulate", "--sim-state=shared.json", "versions"}, "/dev/null"));
  }
  int emptyReads = 0;
  for (bool running = true; running;) {
    if (fs::exists(dir_ / "shared.json") && ReadText(dir_ / "shared.json").empty()) ++emptyReads;
    running = false;
    for (pid_t& pid : children) {
      int status = 0;
      if (pid > 0 && waitpid(pid, &status, WNOHANG) == pid) {
        EXPECT_EQ(WEXITSTATUS(status), 0) << ReadText(StderrFile(pid));
        pid = 0;
      }
      running = running || pid > 0;
    }
  }
  EXPECT_EQ(emptyReads, 0);
  for (const auto& entry : fs::directory_iterator(dir_)) {
    EXPECT_EQ(entry.path().string().find(".tmp-"), std::string::npos) << entry.path();
  }
}

// A signal during a transfer: the first only warns and the download goes on;
// a second aborts with 128 + the signal number. Either way the simulated
// adapter's flash is kept: after an abort in the USB part, the DSP part
// installed before it.
TEST_F(Kr35ctlHostileTest, SignalsDuringATransfer) {
  for (const int signalCount : {1, 2}) {
    SCOPED_TRACE(signalCount);
    fs::remove(dir_ / "state.json");
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    const pid_t pid =
        Start({"--simulate", "--sim-state=state.json", "download", "--yes"}, "", pipeFds[1]);
    close(pipeFds[1]);
    std::string out;
    char chunk[4096];
    int sent = 0;
    for (ssize_t n; (n = read(pipeFds[0], chunk, sizeof chunk)) > 0;) {
      out.append(chunk, static_cast<std::size_t>(n));
      // The first signal once the transfer runs; the second once the first was handled.
      if (sent == 0 && Contains(out, "Download Completion: USB ")) {
        kill(pid, SIGINT);
        ++sent;
      } else if (sent == 1 && signalCount == 2 &&
                 Contains(ReadText(StderrFile(pid)), "Press Ctrl+C again")) {
        kill(pid, SIGTERM);
        ++sent;
      }
    }
    close(pipeFds[0]);
    const RunResult run = Finish(pid);
    EXPECT_TRUE(Contains(run.err, "may leave the adapter without working firmware")) << run.err;
    if (signalCount == 1) {
      EXPECT_EQ(run.status, 0) << run.err;
      EXPECT_TRUE(Contains(out, "Firmware download successful!"));
    } else {
      EXPECT_EQ(run.status, 128 + SIGTERM) << run.err;
      EXPECT_FALSE(Contains(out, "Firmware download successful!"));
    }
    EXPECT_TRUE(Contains(ReadText(dir_ / "state.json"), "\"dsp\":\"")) << "the DSP part was kept";
  }
  // Outside a transfer, monitor's own handler still takes Ctrl+C: it ends with 0.
  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  const pid_t pid = Start({"--simulate", "monitor"}, "", pipeFds[1]);
  close(pipeFds[1]);
  std::string out;
  char chunk[4096];
  for (ssize_t n; !Contains(out, "version:") && (n = read(pipeFds[0], chunk, sizeof chunk)) > 0;) {
    out.append(chunk, static_cast<std::size_t>(n));
  }
  kill(pid, SIGINT);
  close(pipeFds[0]);
  EXPECT_EQ(Finish(pid).status, 0) << out;
}

}  // namespace
}  // namespace kr35
