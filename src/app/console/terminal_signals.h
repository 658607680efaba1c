// How kr35ctl meets SIGINT, SIGTERM, SIGPIPE and SIGXFSZ.
//
// Outside a transfer a signal ends the program at once, after ending an open
// progress line or prompt. During a transfer the first signal only warns,
// because an adapter left mid-upgrade may have no working firmware; a second
// one ends the line and exits with 128 + the signal number. Either way out
// first runs the exit hook (it keeps the simulated adapter's flash, as a real
// adapter keeps its own). SIGPIPE and SIGXFSZ are ignored: a closed output or
// a file-size limit never stops a transfer (the failed writes are reported
// instead).
#pragma once

#include <functional>

namespace kr35 {

// Call first in main, before any thread starts: on POSIX the signals are
// then taken by a thread of their own, where the exit hook may run safely.
void InstallTerminalSignalHandlers();

// Marks the span in which frames are being sent to the adapter.
void SetTransferInProgress(bool inProgress);
bool TransferInProgress();

// A line written to stdout when a second signal aborts a transfer (kr35ctl's
// JSON result); empty: none. Copied, at most 255 bytes.
void SetAbortResultLine(const char* line);

// Whether a progress line is open on stdout, or a prompt on stderr (a signal
// ends it before exiting, so the shell's next line starts on its own).
void SetProgressLineOpen(bool open);
void SetPromptOpen(bool open);

// Runs before the program exits by a signal; cleared by an empty function.
// Setting or clearing waits for a hook that is running.
void SetSignalExitHook(std::function<void()> hook);

// Sets the transfer mark for its lifetime and restores the previous state.
class TransferSpan {
 public:
  explicit TransferSpan(bool inProgress = true) : previous_(TransferInProgress()) {
    SetTransferInProgress(inProgress);
  }
  ~TransferSpan() { SetTransferInProgress(previous_); }
  TransferSpan(const TransferSpan&) = delete;
  TransferSpan& operator=(const TransferSpan&) = delete;

 private:
  bool previous_;
};

}  // namespace kr35
