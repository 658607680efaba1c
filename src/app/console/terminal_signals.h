// How kr35ctl meets SIGINT, SIGTERM and SIGPIPE.
//
// Outside a transfer a signal ends the program at once, after ending an open
// progress line. During a transfer the first signal only warns, because an
// adapter left mid-upgrade may have no working firmware; a second one ends the
// line and exits with 128 + the signal number. SIGPIPE is ignored: a closed
// output never stops a transfer (the printer reports the lost output instead).
#pragma once

namespace kr35 {

void InstallTerminalSignalHandlers();

// Marks the span in which frames are being sent to the adapter.
void SetTransferInProgress(bool inProgress);
bool TransferInProgress();

// A line written to stdout when a second signal aborts a transfer (kr35ctl's
// JSON result); empty: none. Copied, at most 255 bytes.
void SetAbortResultLine(const char* line);

// Whether a progress line is open on stdout (a signal ends it before exiting).
void SetProgressLineOpen(bool open);

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
