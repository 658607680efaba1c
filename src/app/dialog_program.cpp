#include "app/dialog_program.h"

#include <csignal>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <mutex>
#include <thread>

#ifndef _WIN32
#include <pthread.h>
#endif

#include "adapter/download_history.h"
#include "app/download_options.h"
#include "app/output_paths.h"
#include "services/platform_services.h"

namespace kr35 {
namespace {

constexpr const char* kProgramName = "kr35-download";

std::string Error(const std::string& text) {
  return std::string(kProgramName) + ": " + text + "\n";
}

// SIGINT or SIGTERM ends the program as before, but first keeps the
// simulated adapter's flash, as the normal end does (a real adapter keeps
// its own): the services of the running dialog are saved, then the program
// exits with 128 + the signal number.
std::mutex exitMutex;
PlatformServices* servicesToSave = nullptr;  // guarded by exitMutex

[[noreturn]] void SaveAndExit(int signalNumber) {
  {
    std::lock_guard lock(exitMutex);
    InterruptOpenDownloads("ended by a signal");
    std::string error;
    if (servicesToSave && !servicesToSave->Save(error)) std::cerr << Error(error);
  }
  std::_Exit(128 + signalNumber);
}

#ifndef _WIN32
// Blocks the signals in this thread, and so in every thread it starts later,
// and takes them in a thread of their own, where saving is safe. Call before
// the services start their threads.
void TakeExitSignals() {
  static std::once_flag started;
  std::call_once(started, [] {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::thread([signals] {
      for (int signalNumber = 0;;) {
        if (sigwait(&signals, &signalNumber) == 0) SaveAndExit(signalNumber);
      }
    }).detach();
  });
}
#else
// The C runtime runs these in a thread of its own for a console control event.
extern "C" void OnExitSignal(int signalNumber) {
  SaveAndExit(signalNumber);
}
void TakeExitSignals() {
  std::signal(SIGINT, OnExitSignal);
  std::signal(SIGTERM, OnExitSignal);
}
#endif

// Names the services a signal saves for its lifetime.
class SavedOnExitSignal {
 public:
  explicit SavedOnExitSignal(PlatformServices& services) {
    std::lock_guard lock(exitMutex);
    servicesToSave = &services;
  }
  ~SavedOnExitSignal() {
    std::lock_guard lock(exitMutex);
    servicesToSave = nullptr;
  }
  SavedOnExitSignal(const SavedOnExitSignal&) = delete;
  SavedOnExitSignal& operator=(const SavedOnExitSignal&) = delete;
};

}  // namespace

int RunDialogProgram(const std::vector<std::string>& arguments, const DialogProgram& program) {
#ifdef SIGXFSZ
  // A file-size limit only cuts the recording or the trace, which is then
  // reported; it never ends a download.
  std::signal(SIGXFSZ, SIG_IGN);
#endif
  const DownloadOptions options = ParseDownloadOptions(arguments);
  if (options.help) {
    program.showText(kDownloadUsage, false);
    return 0;
  }
  if (options.version) {
    program.showText(std::string(kProgramName) + " " + KR35_VERSION + "\n", false);
    return 0;
  }
  if (!options.error.empty()) {
    program.showText(Error(options.error) + kDownloadUsage, true);
    return 2;
  }
  std::string error;
  if (!CheckOutputPaths(
          {{"--record", options.recordPath},
           {"--sim-trace", options.tracePath},
           {"--sim-state", options.statePath},
           {"--history",
            options.history.value_or("none") == "none" ? std::string() : *options.history}},
          {{"--simulate", options.scenarioPath},
           {"--sim-state", options.statePath},
           {"--replay", options.replayPath}},
          error)) {
    program.showText(Error(error), true);
    return 2;
  }
  if (program.findWindowSystem) {
    if (const std::string missing = program.findWindowSystem(); !missing.empty()) {
      program.showText(Error(missing), true);
      return 2;
    }
  }
  // Single-dash switches may be the window system's own (-style, -platform).
  for (const std::string& ignored : options.ignoredSwitches) {
    if (program.showNote && ignored.rfind("--", 0) == 0) {
      program.showNote(Error("ignoring unknown switch " + ignored));
    }
  }

  ServiceOptions serviceOptions;
  serviceOptions.simulate = options.simulate;
  serviceOptions.scenarioPath = options.scenarioPath;
  serviceOptions.tracePath = options.tracePath;
  serviceOptions.statePath = options.statePath;
  serviceOptions.recordPath = options.recordPath;
  serviceOptions.replayPath = options.replayPath;
  serviceOptions.replayMaxSpeed = options.replayMaxSpeed;
  serviceOptions.program = kProgramName;
  serviceOptions.history = options.history;  // the dialogs say nothing when it cannot be written
  TakeExitSignals();
  // The services outlive the dialog and its threads.
  std::unique_ptr<PlatformServices> services = PlatformServices::Create(serviceOptions, error);
  if (!services) {
    program.showText(Error(error), true);
    return 2;
  }
  const SavedOnExitSignal savedOnSignal(*services);
  DownloadApp app(arguments, {services->Hid(), services->Notifications(), services->Mixer()});
  program.runOnHost(app, services->ExchangeClock());
  if (app.DialogResult() == -1) {
    program.showText(Error("the dialog window cannot be created"), true);
    return 2;
  }
  if (!services->Save(error)) {
    program.showText(Error(error), true);
    return 1;
  }
  if (const std::string loss = services->RecordingLoss(); !loss.empty()) {
    program.showText(Error(loss), true);
    return 4;
  }
  return 0;
}

}  // namespace kr35
