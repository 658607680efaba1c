#include "services/simulated_services.h"

#include "mixer/sim/sim_mixer.h"
#include "sim/sim_hid_backend.h"

namespace kr35 {
namespace {

class SimulatedServices final : public PlatformServices {
 public:
  SimulatedServices(std::unique_ptr<SimHidBackend> hid, Timing timing)
      : hid_(std::move(hid)),
        mixer_(hid_->LoadedScenario().mixers,
               [this](std::string_view line) { hid_->TraceObject(line); }),
        timing_(timing) {}

  HidBackend& Hid() override { return *hid_; }
  DeviceNotificationBackend* Notifications() override { return &hid_->Notifications(); }
  MixerApi& Mixer() override { return mixer_; }
  bool IsSimulated() const override { return true; }
  bool Save(std::string& error) override { return hid_->SaveState(error); }
  std::string LostOutput() const override {
    const std::string reason = hid_->TraceWriteError();
    return reason.empty() ? reason : "the simulator's trace is incomplete: " + reason;
  }
  Timing ExchangeTiming() const override { return timing_; }

 private:
  std::unique_ptr<SimHidBackend> hid_;
  SimMixer mixer_;
  Timing timing_;
};

}  // namespace

std::unique_ptr<PlatformServices> CreateSimulatedServices(const ServiceOptions& options,
                                                          std::string& error) {
  auto hid =
      SimHidBackend::Open(options.scenarioPath, {options.tracePath, options.statePath}, error);
  if (!hid) return nullptr;
  return std::make_unique<SimulatedServices>(std::move(hid), options.simTiming.value_or(Timing{}));
}

}  // namespace kr35
