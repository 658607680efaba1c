// kr35ctl's download history end to end on the simulated adapter: a
// download left unfinished by two signals, by SIGKILL or by an unplug leaves
// a begin without an end or an interrupted outcome; `history` and
// `versions` then say so, and a finished download says nothing of the kind.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/console/text_file.h"

namespace kr35 {
namespace {

namespace fs = std::filesystem;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

enum class Cut { kNone, kTwoSignals, kSigkill, kUnplug };

struct Row {
  const char* name;
  Cut cut;
  const char* endOutcome;  // of the end record; nullptr: none written
};

class Kr35ctlHistoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("kr35ctl_history_" + std::to_string(getpid()) + "_" +
                                        std::to_string(std::random_device{}()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs kr35ctl in the test's directory; stdout and stderr to out.txt and err.txt.
  int Run(const std::string& args) {
    const std::string command = "cd '" + dir_.string() + "' && '" KR35CTL_PATH "' " + args +
                                " </dev/null >out.txt 2>err.txt";
    const int wait = std::system(command.c_str());
    return WIFEXITED(wait) ? WEXITSTATUS(wait) : -1;
  }

  // A download whose stdout is read as it comes, so that it can be cut in its DSP blocks.
  void DownloadAndCut(Cut cut, const std::string& simulate) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t pid = fork();
    if (pid == 0) {
      if (chdir(dir_.c_str()) != 0) _exit(127);
      dup2(open("/dev/null", O_RDONLY), 0);
      dup2(fds[1], 1);
      dup2(open("err.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
      close(fds[0]);
      execl(KR35CTL_PATH, KR35CTL_PATH, simulate.c_str(), "--sim-state=state.json",
            "--history=h.jsonl", "download", "--yes", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    std::string out;
    char chunk[4096];
    bool cutDone = cut == Cut::kNone || cut == Cut::kUnplug;
    bool warned = false;
    for (ssize_t n; (n = read(fds[0], chunk, sizeof chunk)) > 0;) {
      out.append(chunk, static_cast<std::size_t>(n));
      if (!cutDone && Contains(out, "Download Completion: DSP")) {
        cutDone = true;
        if (cut == Cut::kSigkill) kill(pid, SIGKILL);
        if (cut == Cut::kTwoSignals) kill(pid, SIGINT);
      }
      if (cut == Cut::kTwoSignals && cutDone && !warned &&
          Contains(ReadText(dir_ / "err.txt"), "Press Ctrl+C again")) {
        warned = true;
        kill(pid, SIGTERM);
      }
    }
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
  }

  fs::path dir_;
};

TEST_F(Kr35ctlHistoryTest, AnUnfinishedDownloadIsRecordedAndReported) {
  const Row rows[] = {
      {"done", Cut::kNone, "done"},
      {"two_signals", Cut::kTwoSignals, "interrupted"},
      {"sigkill", Cut::kSigkill, nullptr},
      {"unplug", Cut::kUnplug, "gone"},
  };
  std::ofstream(dir_ / "unplug.json")
      << R"({"hid": {"events": [{"after_command": 150, "unplug": true}]}})";
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    fs::remove(dir_ / "h.jsonl");
    fs::remove(dir_ / "state.json");
    DownloadAndCut(row.cut, row.cut == Cut::kUnplug ? "--simulate=unplug.json" : "--simulate");

    std::vector<nlohmann::json> records;
    std::istringstream lines(ReadText(dir_ / "h.jsonl"));
    for (std::string line; std::getline(lines, line);)
      records.push_back(nlohmann::json::parse(line));
    ASSERT_GE(records.size(), 1u);
    EXPECT_EQ(records[0]["record"], "begin");
    EXPECT_EQ(records[0]["images"].size(), 2u);
    const bool ended = records.size() >= 2 && records[1]["record"] == "end";
    EXPECT_EQ(ended, row.endOutcome != nullptr);
    if (ended) {
      EXPECT_EQ(records[1]["outcome"], row.endOutcome) << records[1].dump();
    }

    const bool interrupted = row.cut != Cut::kNone;
    EXPECT_EQ(Run("--simulate --history=h.jsonl history"), 0);
    EXPECT_EQ(Contains(ReadText(dir_ / "out.txt"), "  interrupted"), interrupted)
        << ReadText(dir_ / "out.txt");
    EXPECT_EQ(Run("--simulate --sim-state=state.json --history=h.jsonl versions"), 0)
        << ReadText(dir_ / "err.txt");
    EXPECT_EQ(Contains(ReadText(dir_ / "err.txt"), "was interrupted"), interrupted)
        << ReadText(dir_ / "err.txt");
  }
}

// The simulator keeps no history unless asked: the user's history never
// holds simulated adapters.
TEST_F(Kr35ctlHistoryTest, TheSimulatorWritesNoDefaultHistory) {
  const fs::path stateHome = dir_ / "state-home";
  fs::create_directories(stateHome);
  setenv("XDG_STATE_HOME", stateHome.c_str(), 1);
  EXPECT_EQ(Run("--simulate download --yes"), 0) << ReadText(dir_ / "err.txt");
  EXPECT_EQ(Run("--simulate history"), 2);
  unsetenv("XDG_STATE_HOME");
  EXPECT_TRUE(fs::is_empty(stateHome));
}

}  // namespace
}  // namespace kr35
