#include "app/console/agent_command.h"

#include <spawn.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <iostream>

#include "app/console/dialog_commands.h"
#include "app/console/exit_status.h"
#include "app/console/freedesktop_notices.h"
#include "app/mute_agent.h"
#include "history/history_location.h"

extern char** environ;

namespace kr35 {
namespace {

constexpr const char* kDownloadProgram = "kr35-download";

void SayProblem(const std::string& text) {
  std::cerr << "kr35ctl agent: " << text << std::endl;
}

// The download dialog, from the directory of this program when it is there,
// else from the PATH; not waited for (SIGCHLD is ignored while the agent runs).
// It starts with every signal unblocked and at its default, not with the
// mask and the ignored signals kr35ctl runs with.
void OpenDownloadDialog() {
  std::error_code ec;
  const std::filesystem::path beside =
      std::filesystem::read_symlink("/proc/self/exe", ec).parent_path() / kDownloadProgram;
  const std::string program =
      !ec && std::filesystem::exists(beside, ec) ? beside.string() : kDownloadProgram;
  char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  for (const int signalNumber : {SIGCHLD, SIGPIPE, SIGXFSZ, SIGINT, SIGTERM}) {
    sigaddset(&defaults, signalNumber);
  }
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t pid = 0;
  if (posix_spawnp(&pid, program.c_str(), nullptr, &attributes, argv, environ) != 0) {
    SayProblem(std::string("cannot start ") + kDownloadProgram);
  }
  posix_spawnattr_destroy(&attributes);
}

}  // namespace

int RunAgentCommand(PlatformServices& services, const AgentCommandOptions& options) {
  WindowlessHost host;
  std::unique_ptr<FreedesktopNotices> notices;
  if (options.notify) {
    std::string error;
    notices = FreedesktopNotices::Connect(host, error);
    if (!notices) SayProblem("no new-firmware notices: " + error);
  }
  AgentSettings settings;
  settings.notices = notices.get();
  if (const auto directory = StateDirectory(); !directory.empty()) {
    settings.dismissedFile = directory / "agent-dismissed";
  }
  settings.programVersion = options.programVersion;
  settings.openDownloadDialog = OpenDownloadDialog;
  settings.sayProblem = SayProblem;
  const auto previousChild = std::signal(SIGCHLD, SIG_IGN);
  MuteAgent agent(host, EnvironmentOf(services), std::move(settings));
  agent.OnDialogInit();
  using Clock = std::chrono::steady_clock;
  const auto end = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                      std::chrono::duration<double>(options.durationSeconds));
  for (;;) {
    std::optional<std::chrono::milliseconds> wait = agent.WaitLimit();
    if (options.durationSeconds >= 0) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now());
      if (left.count() <= 0) break;
      wait = wait ? std::min(*wait, left) : left;
    }
    host.Queue().DispatchFor(agent, wait);
    agent.Recheck();
  }
  std::signal(SIGCHLD, previousChild);
  return SaveAndReturn(services, kExitDone);
}

}  // namespace kr35
