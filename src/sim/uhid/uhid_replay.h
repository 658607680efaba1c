// A session recording presented to the kernel as a uhid device: the
// recorded adapter's ids, product string and report descriptor at creation;
// each output report the host writes is compared with the next recorded one
// (ReplayScript). When equal, the input reports recorded after it are fed to
// the kernel with their recorded delays, or at once at maximum speed, and the
// recorded removals and arrivals destroy and create the device again. When
// the host departs from the recording, the device stops answering.
#pragma once

#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "record/recording.h"
#include "record/replay_script.h"
#include "sim/uhid/uhid_adapter_bridge.h"

namespace kr35 {

// The identity of the recording's adapter: the interface of its first
// output report (or the first one with a descriptor). Null with `error` when
// the recording holds no descriptor bytes to present (made on Windows).
std::optional<UhidIdentity> RecordedAdapterIdentity(const Recording& recording, std::string& error);

class UhidReplay {
 public:
  // `diagnostics` (may be null) receives the departure message when it happens.
  UhidReplay(Recording recording, bool maxSpeed, UhidAdapterBridge::DeviceOpener opener,
             std::FILE* diagnostics = nullptr);

  // Serves the recording until `stopFd` becomes readable, until the host
  // writes past its end, or until the host closes the device once the replay
  // is over: every recorded report played, or the host departed from the
  // recording. (A device with buttons stays open in the kernel's keyboard
  // handler, so the host's close is not seen; `stopFd` ends those.) False
  // with `error` when the uhid node cannot be used or the recording cannot
  // be presented.
  bool Run(int stopFd, std::string& error);

  // Empty when the host did all that the recording did; otherwise why not.
  const std::string& Diagnosis() const { return diagnosis_; }

 private:
  using Time = std::chrono::steady_clock::time_point;

  void Schedule(Time anchor, std::int64_t anchorUs, const std::vector<RecordedDeviceEvent>& events);
  bool DeliverDue(std::string& error);
  void Output(std::span<const std::uint8_t> report);
  // Notes (and prints) why the host's session is not the recorded one.
  void Depart(const std::string& why);
  int PollTimeoutMs() const;
  bool Over() const;

  const Recording recording_;
  const bool maxSpeed_;
  UhidAdapterBridge::DeviceOpener opener_;
  std::FILE* diagnostics_;
  ReplayScript script_{recording_};
  std::optional<UhidIdentity> identity_;
  std::unique_ptr<UhidDevice> device_;
  std::multimap<Time, RecordedDeviceEvent> scheduled_;  // equal times keep their order
  std::string diagnosis_;
};

}  // namespace kr35
