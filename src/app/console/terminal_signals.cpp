#include "app/console/terminal_signals.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <mutex>
#include <thread>

#ifndef _WIN32
#include <pthread.h>
#include <unistd.h>
#else
#include <io.h>
#endif

namespace kr35 {
namespace {

std::atomic<bool> transferInProgress{false};
std::atomic<bool> progressLineOpen{false};
std::atomic<bool> promptOpen{false};
std::atomic<int> signalsDuringTransfer{0};
char abortResultLine[256];
std::atomic<std::size_t> abortResultLength{0};

std::mutex hookMutex;
std::function<void()> exitHook;  // guarded by hookMutex

constexpr char kWarning[] =
    "kr35ctl: a firmware transfer is running: interrupting it now may leave the adapter "
    "without working firmware. Press Ctrl+C again to abort.\n";
constexpr char kAborted[] = "kr35ctl: transfer aborted; the adapter may need a new download\n";

void WriteText(int fd, const char* text, std::size_t length) {
#ifndef _WIN32
  [[maybe_unused]] const auto written = ::write(fd, text, length);
#else
  [[maybe_unused]] const auto written = ::_write(fd, text, static_cast<unsigned>(length));
#endif
}

void EndOpenLines() {
  if (progressLineOpen.exchange(false)) WriteText(1, "\n", 1);
  if (promptOpen.exchange(false)) WriteText(2, "\n", 1);
}

[[noreturn]] void ExitBySignal(int signalNumber) {
  {
    std::lock_guard lock(hookMutex);
    if (exitHook) exitHook();
  }
  std::_Exit(128 + signalNumber);
}

// Runs outside signal context: on POSIX in the signal thread, on Windows in
// the thread the C runtime starts for a console control event.
void OnTerminalSignal(int signalNumber) {
  if (!transferInProgress.load()) {
    EndOpenLines();
    ExitBySignal(signalNumber);
  }
  if (signalsDuringTransfer.fetch_add(1) == 0) {
    EndOpenLines();
    WriteText(2, kWarning, sizeof kWarning - 1);
    return;
  }
  EndOpenLines();
  WriteText(2, kAborted, sizeof kAborted - 1);
  if (const std::size_t length = abortResultLength.load()) WriteText(1, abortResultLine, length);
  ExitBySignal(signalNumber);
}

#ifndef _WIN32
// The disposition kr35ctl installs; it never runs, as the signals are blocked
// in every thread and taken by sigwait.
extern "C" void OnBlockedSignal(int) {}

// A command that installs a handler of its own (monitor stops on Ctrl+C)
// gets the signal as before: the signal thread calls that handler.
void DispatchSignal(int signalNumber) {
  struct sigaction current {};
  sigaction(signalNumber, nullptr, &current);
  const auto handler = current.sa_handler;
  if (handler != OnBlockedSignal && handler != SIG_DFL && handler != SIG_IGN) {
    handler(signalNumber);
    return;
  }
  OnTerminalSignal(signalNumber);
}
#else
extern "C" void OnWindowsSignal(int signalNumber) {
  std::signal(signalNumber, OnWindowsSignal);  // the handler is reset after each call
  OnTerminalSignal(signalNumber);
}
#endif

}  // namespace

void InstallTerminalSignalHandlers() {
#ifndef _WIN32
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
  // Blocked here, so in every thread started later; taken by sigwait only.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  std::signal(SIGINT, OnBlockedSignal);
  std::signal(SIGTERM, OnBlockedSignal);
  std::thread([signals] {
    for (;;) {
      int signalNumber = 0;
      if (sigwait(&signals, &signalNumber) == 0) DispatchSignal(signalNumber);
    }
  }).detach();
#else
  std::signal(SIGINT, OnWindowsSignal);
  std::signal(SIGTERM, OnWindowsSignal);
#endif
}

void SetTransferInProgress(bool inProgress) {
  if (inProgress && !transferInProgress.load()) signalsDuringTransfer = 0;
  transferInProgress = inProgress;
}

bool TransferInProgress() {
  return transferInProgress.load();
}

void SetAbortResultLine(const char* line) {
  abortResultLength = 0;
  std::size_t length = 0;
  while (line[length] != '\0' && length < sizeof abortResultLine) {
    abortResultLine[length] = line[length];
    ++length;
  }
  abortResultLength = length;
}

void SetProgressLineOpen(bool open) {
  progressLineOpen = open;
}

void SetPromptOpen(bool open) {
  promptOpen = open;
}

void SetSignalExitHook(std::function<void()> hook) {
  std::lock_guard lock(hookMutex);
  exitHook = std::move(hook);
}

}  // namespace kr35
