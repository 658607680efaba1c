// Two kr35ctl processes on one simulated adapter (one --sim-state file): while
// one downloads, the other waits for the claim or refuses, names the holder,
// and sends nothing; the download completes; a holder killed with SIGKILL
// leaves the adapter free at once.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/console/text_file.h"

namespace kr35 {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

int CountLines(const std::string& text, const std::string& containing) {
  std::istringstream lines(text);
  int count = 0;
  for (std::string line; std::getline(lines, line);) count += line.find(containing) != line.npos;
  return count;
}

class Kr35ctlClaimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("kr35ctl_claim_" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    // Slow enough that the other process runs while the blocks go out.
    std::ofstream(dir_ / "slow.json") << R"({"hid": {"latency_ms": 2}})";
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Simulate(const std::string& scenario, const std::string& name) const {
    return "--simulate" + (scenario.empty() ? "" : "='" + (dir_ / scenario).string() + "'") +
           " --sim-state='" + (dir_ / "adapter.state").string() + "' --sim-trace='" +
           (dir_ / (name + ".trace")).string() + "'";
  }

  // Starts the holder: a download on the slow adapter; returns kr35ctl's pid
  // once its download is under way (its blocks are in its trace).
  pid_t StartHolder() {
    const std::string command = "exec '" KR35CTL_PATH "' --json " +
                                Simulate("slow.json", "holder") + " download --yes </dev/null >'" +
                                (dir_ / "holder.out").string() + "' 2>'" +
                                (dir_ / "holder.err").string() + "'";
    const pid_t pid = fork();
    if (pid == 0) {
      execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (CountLines(ReadText(dir_ / "holder.trace"), "\"rx\"") < 20 &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return pid;
  }

  struct Run {
    int status;
    std::string out, err, trace;
  };
  Run RunOther(const std::string& name, const std::string& args) {
    const std::string command = "'" KR35CTL_PATH "' " + Simulate("", name) + " " + args +
                                " </dev/null >'" + (dir_ / (name + ".out")).string() + "' 2>'" +
                                (dir_ / (name + ".err")).string() + "'";
    const int wait = std::system(command.c_str());
    return {WIFEXITED(wait) ? WEXITSTATUS(wait) : -1, ReadText(dir_ / (name + ".out")),
            ReadText(dir_ / (name + ".err")), ReadText(dir_ / (name + ".trace"))};
  }

  fs::path dir_;
};

TEST_F(Kr35ctlClaimTest, AnotherProgramWaitsOrRefusesWhileADownloadHoldsTheAdapter) {
  struct Row {
    const char* name;
    std::string args;
  };
  const Row rows[] = {
      {"versions", "--sim-claim-wait=300 versions"},
      {"download", "--json download --yes"},
  };
  const pid_t holder = StartHolder();
  ASSERT_GT(holder, 0);
  const std::string busy =
      "the adapter is busy: kr35ctl (pid " + std::to_string(holder) + ") is using it";
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const Run run = RunOther(row.name, row.args);
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find(busy), std::string::npos) << run.err;
    EXPECT_EQ(CountLines(run.trace, "\"rx\""), 0) << "sent to a claimed adapter:\n" << run.trace;
    if (row.args.find("--json") != std::string::npos) {
      const std::string last = run.out.substr(run.out.rfind('{'));
      const json result = json::parse(last);
      EXPECT_EQ(result["event"], "result");
      EXPECT_EQ(result["outcome"], "refused");
      EXPECT_EQ(result["reason"], busy);
    }
  }
  int wait = 0;
  ASSERT_EQ(waitpid(holder, &wait, 0), holder);
  ASSERT_TRUE(WIFEXITED(wait));
  EXPECT_EQ(WEXITSTATUS(wait), 0) << ReadText(dir_ / "holder.err");
  EXPECT_NE(ReadText(dir_ / "holder.out").find("\"outcome\":\"done\""), std::string::npos);
}

TEST_F(Kr35ctlClaimTest, AHolderKilledWithSigkillLeavesTheAdapterFree) {
  const pid_t holder = StartHolder();
  ASSERT_GT(holder, 0);
  ASSERT_EQ(kill(holder, SIGKILL), 0);
  int wait = 0;
  ASSERT_EQ(waitpid(holder, &wait, 0), holder);
  const Run run = RunOther("after", "--sim-claim-wait=0 versions");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_GT(CountLines(run.trace, "\"rx\""), 0);
}

}  // namespace
}  // namespace kr35
