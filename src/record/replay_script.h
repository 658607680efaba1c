// The part of a replay that does not depend on how the device is presented:
// the recording's output reports taken in order. Each report the program
// writes is compared with the next recorded one; when equal, the recorded
// write says whether it succeeded and what the device did after it. Both the
// in-process replay and kr35-sim's uhid replay walk a recording with it.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>

#include "record/recording.h"

namespace kr35 {

class ReplayScript {
 public:
  enum class Phase { kRunning, kDiverged, kEnded };

  // Keeps a reference: `recording` must outlive the script.
  explicit ReplayScript(const Recording& recording) : recording_(recording) {}

  // The recorded write matching `report`, written to `path` (null: the path
  // is not compared). Null when the program departs from the recording: the
  // phase becomes kDiverged (a different report) or kEnded (no report left)
  // and stays so; Diagnosis() says why.
  const RecordedWrite* Write(std::span<const std::uint8_t> report,
                             const std::string* path = nullptr);

  // The program departed from the recording in a way the replay found
  // itself; `diagnosis` says how. No effect once the phase is not kRunning.
  void Depart(std::string diagnosis);

  Phase CurrentPhase() const { return phase_; }
  // How many recorded output reports have been written, and how many there are.
  std::size_t Written() const { return next_; }
  std::size_t Recorded() const { return recording_.writes.size(); }
  bool AllWritten() const { return Written() == Recorded(); }
  // Empty while the program did what the recording did.
  const std::string& Diagnosis() const { return diagnosis_; }
  // Once departed: what in the program's set-up (its command, options, the
  // adapter chosen) differs from the recorded run where that may be the
  // cause; empty when nothing points to it.
  const std::string& SetUpHint() const { return setUpHint_; }

 private:
  const Recording& recording_;
  Phase phase_ = Phase::kRunning;
  std::size_t next_ = 0;
  std::string diagnosis_;
  std::string setUpHint_;
};

// How long after the moment recorded at `anchorUs` is replayed `event`
// happens: its recorded distance, or nothing at maximum speed.
std::chrono::microseconds ReplayDelay(std::int64_t anchorUs, const RecordedDeviceEvent& event,
                                      bool maxSpeed);

}  // namespace kr35
