// kr35ctl run as a program under hostile but realistic conditions on the
// simulated adapter: bad paths and files, adapters that cut or garble
// reports, closed outputs and signals. Each case checks the exit status, what
// the user is told and, through the simulator's trace, that no download frame
// went out when the run had to stop before the first one.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "firmware/intel_hex_writer.h"

namespace kr35 {
namespace {

namespace fs = std::filesystem;

struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

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
  bool downloadStarts;  // a download frame reached the adapter
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
       "",
       "RSP_ACK",
       false},
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
  std::ofstream(dir_ / "huge.hex").close();
  fs::resize_file(dir_ / "huge.hex", std::uintmax_t{3} << 30);  // sparse: refused by its size
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> args;
    if (c.args.front() != "convert" && c.args.front() != "bogus" &&
        !c.args.front().starts_with("--simulate=")) {
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
  // The trace refused above did not truncate the input it named.
  EXPECT_EQ(ReadText(dir_ / "dsp.hex"), WriteIntelHex(std::vector<std::uint8_t>(50, 0x22)));
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
// a second aborts with 128 + the signal number.
TEST_F(Kr35ctlHostileTest, SignalsDuringATransfer) {
  for (const int signalCount : {1, 2}) {
    SCOPED_TRACE(signalCount);
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    const pid_t pid = Start({"--simulate", "download", "--yes"}, "", pipeFds[1]);
    close(pipeFds[1]);
    std::string out;
    char chunk[4096];
    int sent = 0;
    for (ssize_t n; (n = read(pipeFds[0], chunk, sizeof chunk)) > 0;) {
      out.append(chunk, static_cast<std::size_t>(n));
      // The first signal once the transfer runs; the second once the first was handled.
      if (sent == 0 && Contains(out, "Download Completion: DSP 1 %")) {
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
      EXPECT_FALSE(Contains(out, "100 percent"));
    }
  }
}

}  // namespace
}  // namespace kr35
