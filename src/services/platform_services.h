// The platform services a program runs on: the real ones of this machine, or
// the simulated adapter with its mixers, from the switches --simulate[=FILE],
// --sim-trace=FILE and --sim-state=FILE.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "hid/device_notification.h"
#include "hid/hid_io.h"
#include "mixer/mixer_api.h"
#include "protocol/timing.h"

namespace kr35 {

struct ServiceOptions {
  bool simulate = false;
  std::string scenarioPath;  // with simulate; empty: the default adapter
  std::string tracePath;     // with simulate: the report trace
  std::string statePath;     // with simulate: the adapter's flash between runs
  // With simulate: the exchange's waits, shortened for quick tests of time-outs.
  std::optional<Timing> simTiming;
};

class PlatformServices {
 public:
  virtual ~PlatformServices() = default;
  // Null with `error` set when a scenario, trace or state file cannot be used.
  static std::unique_ptr<PlatformServices> Create(const ServiceOptions& options,
                                                  std::string& error);

  virtual HidBackend& Hid() = 0;
  virtual DeviceNotificationBackend* Notifications() = 0;
  virtual MixerApi& Mixer() = 0;
  virtual bool IsSimulated() const = 0;
  // Keeps what the program changed that must outlive it (the simulated flash).
  virtual bool Save(std::string& error) = 0;
  // Empty unless output the program wrote on the side (the simulator's trace)
  // was lost; then what was lost and why.
  virtual std::string LostOutput() const { return {}; }
  // The waits and pauses of the command exchange with this adapter.
  virtual Timing ExchangeTiming() const { return Timing{}; }
};

}  // namespace kr35
