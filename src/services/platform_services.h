// The platform services a program runs on: the real ones of this machine, or
// the simulated adapter with its mixers, from the switches --simulate[=FILE],
// --sim-trace=FILE and --sim-state=FILE; or a session recording played back
// (--replay=FILE). Any of them may be recorded (--record=FILE).
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "adapter/download_history.h"
#include "hid/device_notification.h"
#include "hid/hid_io.h"
#include "mixer/mixer_api.h"
#include "protocol/clock.h"
#include "protocol/timing.h"

namespace kr35 {

struct ServiceOptions {
  bool simulate = false;
  std::string scenarioPath;     // with simulate; empty: the default adapter
  std::string tracePath;        // with simulate: the report trace
  std::string statePath;        // with simulate: the adapter's flash between runs
  std::string recordPath;       // record the session to this file
  std::string replayPath;       // play this recording back as the adapter
  bool replayMaxSpeed = false;  // with replayPath: without the recorded delays
  std::string program;          // the program's name, for the recording
  std::string devicePath;       // only this interface is used (several adapters plugged in)
  // With simulate: the exchange's waits, shortened for quick tests of time-outs.
  std::optional<Timing> simTiming;
  // --history: a file, or "none"; unset: the default history for a real
  // adapter, none on the simulator or a replay. Every Adapter::Download of
  // the program is recorded there while the services live.
  std::optional<std::string> history;
  // Told once when the history cannot be written (the download goes on).
  std::function<void(const std::string&)> historyWarning;
};

class PlatformServices {
 public:
  virtual ~PlatformServices();
  // Null with `error` set when a scenario, trace or state file cannot be used.
  static std::unique_ptr<PlatformServices> Create(const ServiceOptions& options,
                                                  std::string& error);

  virtual HidBackend& Hid() = 0;
  // Every interface present, also those Hid() hides when one device was chosen.
  virtual HidBackend& AllInterfaces() { return Hid(); }
  virtual DeviceNotificationBackend* Notifications() = 0;
  virtual MixerApi& Mixer() = 0;
  virtual bool IsSimulated() const = 0;
  // The clock the command exchange waits on.
  virtual Clock& ExchangeClock() { return RealClock(); }
  // Keeps what the program changed that must outlive it (the simulated flash);
  // false with `error` also when a replayed session did not follow its recording.
  virtual bool Save(std::string& error) = 0;
  // Empty unless output the program wrote on the side (the simulator's trace)
  // was lost; then what was lost and why.
  virtual std::string LostOutput() const { return {}; }
  // Empty unless lines of the session's recording (--record) were lost; then
  // how many and why. Such a run is not fully recorded, whatever its outcome.
  virtual std::string RecordingLoss() const { return {}; }
  // With --replay: how many of the recording's output reports were written,
  // of how many; nullopt otherwise.
  virtual std::optional<std::pair<std::size_t, std::size_t>> ReplayedReports() const {
    return std::nullopt;
  }
  // The waits and pauses of the command exchange with this adapter.
  virtual Timing ExchangeTiming() const { return Timing{}; }

  // The download history this run records to and reads; none when it keeps none.
  const std::optional<std::filesystem::path>& HistoryPath() const { return historyPath_; }

 private:
  std::optional<std::filesystem::path> historyPath_;
  std::shared_ptr<DownloadHistory> history_;  // installed while these services live
};

}  // namespace kr35
