#include "app/console/terminal_signals.h"

#include <atomic>
#include <csignal>
#include <cstdlib>

#ifndef _WIN32
#include <unistd.h>
#else
#include <io.h>
#endif

namespace kr35 {
namespace {

std::atomic<bool> transferInProgress{false};
std::atomic<bool> progressLineOpen{false};
std::atomic<int> signalsDuringTransfer{0};
char abortResultLine[256];
std::atomic<std::size_t> abortResultLength{0};

constexpr char kWarning[] =
    "kr35ctl: a firmware transfer is running: interrupting it now may leave the adapter "
    "without working firmware. Press Ctrl+C again to abort.\n";
constexpr char kAborted[] = "kr35ctl: transfer aborted; the adapter may need a new download\n";

// Only async-signal-safe calls from here on.
void WriteText(int fd, const char* text, std::size_t length) {
#ifndef _WIN32
  [[maybe_unused]] const auto written = ::write(fd, text, length);
#else
  [[maybe_unused]] const auto written = ::_write(fd, text, static_cast<unsigned>(length));
#endif
}

void EndProgressLine() {
  if (progressLineOpen.exchange(false)) WriteText(1, "\n", 1);
}

[[noreturn]] void ExitBySignal(int signalNumber) {
  std::_Exit(128 + signalNumber);
}

extern "C" void OnTerminalSignal(int signalNumber) {
  if (!transferInProgress.load()) {
    EndProgressLine();
    ExitBySignal(signalNumber);
  }
  if (signalsDuringTransfer.fetch_add(1) == 0) {
    EndProgressLine();
    WriteText(2, kWarning, sizeof kWarning - 1);
#ifdef _WIN32
    std::signal(signalNumber, OnTerminalSignal);  // the handler is reset after each call
#endif
    return;
  }
  EndProgressLine();
  WriteText(2, kAborted, sizeof kAborted - 1);
  if (const std::size_t length = abortResultLength.load()) WriteText(1, abortResultLine, length);
  ExitBySignal(signalNumber);
}

}  // namespace

void InstallTerminalSignalHandlers() {
#ifndef _WIN32
  struct sigaction action {};
  action.sa_handler = OnTerminalSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
#else
  std::signal(SIGINT, OnTerminalSignal);
  std::signal(SIGTERM, OnTerminalSignal);
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

}  // namespace kr35
