// The simulated adapter as HID interfaces: enumeration, read and write
// handles, device notices, timing, device-level faults and a trace. Every
// operation is thread-safe; a reader thread may wait in WaitRead while
// another thread writes.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hid/device_notification.h"
#include "hid/hid_io.h"
#include "sim/flash_state.h"
#include "sim/scenario.h"
#include "sim/sim_trace.h"

namespace kr35 {

class SimWorld;  // the shared state behind the backend, its handles and notices

// The files a simulated adapter writes and keeps.
struct SimOptions {
  std::string tracePath = {};  // empty: no trace
  std::string statePath = {};  // the flash between runs; empty: not kept
};

// Posts the simulated adapter's arrival and removal notices. They are posted
// while the simulator holds its lock, so DialogQueue::Post must not call back
// into the simulator (queueing the message, as every dialog host does, is fine).
class SimNotificationBackend : public DeviceNotificationBackend {
 public:
  explicit SimNotificationBackend(std::shared_ptr<SimWorld> world) : world_(std::move(world)) {}
  PlatformVersion GetPlatformVersion() override { return {10, 0, ""}; }
  std::unique_ptr<NotificationRegistration> Register(DialogQueue* queue) override;

 private:
  std::shared_ptr<SimWorld> world_;
};

class SimHidBackend : public HidBackend {
 public:
  // The simulated adapter every program runs on: the scenario read from
  // `scenarioPath` (empty: the default one), its trace opened and its flash
  // restored from the state file. Null with `error` (naming the file) when
  // one of the files cannot be used.
  static std::unique_ptr<SimHidBackend> Open(const std::string& scenarioPath,
                                             const SimOptions& options, std::string& error);
  // The same for a scenario already read.
  static std::unique_ptr<SimHidBackend> Create(Scenario scenario, const SimOptions& options,
                                               std::string& error);
  explicit SimHidBackend(Scenario scenario = {}, std::unique_ptr<SimTrace> trace = nullptr);
  ~SimHidBackend() override;
  SimHidBackend(const SimHidBackend&) = delete;
  SimHidBackend& operator=(const SimHidBackend&) = delete;

  // Paths: "sim:device<i>" for the other devices, then "sim:adapter<i>".
  std::optional<std::vector<std::string>> EnumerateInterfaces() override;
  std::unique_ptr<HidReadHandle> OpenRead(const std::string& path,
                                          OpenError* error = nullptr) override;
  std::unique_ptr<HidWriteHandle> OpenWrite(const std::string& path) override;
  // The simulated adapter is its state file: programs on one state file are
  // on one adapter and claim it through a lock beside that file
  // (STATE.lock). Without a state file the adapter is private to this process.
  ClaimAttempt TryClaim(const std::string& path) override;
  // The mirror mark of the adapter on a state file: STATE.mirror (a named
  // event on Windows); none without a state file.
  std::unique_ptr<AdapterClaim> HoldMirrorMark(const std::string& key) override;
  bool MirrorMarkHeld(const std::string& key) override;

  SimNotificationBackend& Notifications() { return notifications_; }
  // The scenario the adapter follows.
  const Scenario& LoadedScenario() const;
  // Keeps the adapter's flash in the state file, when there is one.
  bool SaveState(std::string& error) const;

  // The adapter's report descriptor (the same for every adapter).
  std::vector<std::uint8_t> ReportDescriptor() const;
  // Unplugs an adapter now (its handles fail from then on), and plugs it back
  // after `replugAfterMs` when that is not negative.
  void Unplug(std::size_t adapter = 0, double replugAfterMs = -1);
  void Replug(std::size_t adapter = 0);
  bool IsPresent(std::size_t adapter = 0) const;

  // The adapter's stored firmware, for the state file.
  FlashState Flash(std::size_t adapter = 0) const;
  // Adds an event of another simulated part (a JSON object) to the trace, if any.
  void TraceObject(std::string_view object);
  // Empty unless writing the trace failed; then the first failure's reason.
  std::string TraceWriteError() const;
  void SetFlash(FlashState flash, std::size_t adapter = 0);

 private:
  std::shared_ptr<SimWorld> world_;
  SimNotificationBackend notifications_;
  std::string statePath_;
};

}  // namespace kr35
