// The claim on an adapter: one program at a time sends frames to it. Every
// program that opens the adapter receives every input report, so two programs
// exchanging at once would take each other's answers. Backends implement the
// claim with what their platform releases when a process ends in any way: a
// flock on the hidraw node (Linux), a named mutex (Windows), a lock beside
// the simulator's state file.
#pragma once

#include <memory>
#include <string>

namespace kr35 {

// Who holds the claim, as far as the platform tells: an empty program and a
// pid of 0 when it does not.
struct ClaimHolder {
  std::string program;
  long pid = 0;
};

// "the adapter is busy: PROGRAM (pid N) is using it"; the program's name escaped.
std::string BusyText(const ClaimHolder& holder);

// The mirror mark sits beside the claim: every program of ours that has an
// adapter open in the foreground (the dialogs, kr35ctl) holds it, shared,
// for as long as it may mirror the mute button or exchange with the adapter.
// The agent never holds it: it only looks whether anyone does, and while
// someone does it neither mirrors nor sends anything to that adapter, so a
// press toggles the recording mute once and no stray query meets a transfer.

// Held while it exists; destroying it releases the claim (or the mark).
class AdapterClaim {
 public:
  virtual ~AdapterClaim() = default;
};

// One try at the claim, without waiting.
struct ClaimAttempt {
  std::unique_ptr<AdapterClaim> claim;  // null: another program holds it
  ClaimHolder holder;                   // with a null claim: who holds it
  std::string note;  // said once when the claim was taken, e.g. over an abandoned one

  // A claim that guards nothing: for adapters no other program can reach.
  static ClaimAttempt Unguarded() { return {std::make_unique<AdapterClaim>(), {}, {}}; }
  static ClaimAttempt Busy(ClaimHolder holder) { return {nullptr, std::move(holder), {}}; }
};

}  // namespace kr35
