#include "services/simulated_services.h"

#include <filesystem>

#include "mixer/sim/sim_mixer.h"
#include "sim/flash_state.h"
#include "sim/sim_hid_backend.h"

namespace kr35 {
namespace {

class SimulatedServices final : public PlatformServices {
 public:
  SimulatedServices(std::unique_ptr<SimHidBackend> hid, std::vector<SimMixerDescription> mixers,
                    std::string statePath, Timing timing)
      : hid_(std::move(hid)),
        mixer_(std::move(mixers), [this](std::string_view line) { hid_->TraceObject(line); }),
        statePath_(std::move(statePath)),
        timing_(timing) {}

  HidBackend& Hid() override { return *hid_; }
  DeviceNotificationBackend* Notifications() override { return &hid_->Notifications(); }
  MixerApi& Mixer() override { return mixer_; }
  bool IsSimulated() const override { return true; }
  bool Save(std::string& error) override {
    return statePath_.empty() || SaveFlashState(hid_->Flash(), statePath_, error);
  }
  std::string LostOutput() const override {
    const std::string reason = hid_->TraceWriteError();
    return reason.empty() ? reason : "the simulator's trace is incomplete: " + reason;
  }
  Timing ExchangeTiming() const override { return timing_; }

 private:
  std::unique_ptr<SimHidBackend> hid_;
  SimMixer mixer_;
  std::string statePath_;
  Timing timing_;
};

}  // namespace

std::unique_ptr<PlatformServices> CreateSimulatedServices(const ServiceOptions& options,
                                                          std::string& error) {
  Scenario scenario;
  if (!options.scenarioPath.empty()) {
    auto loaded = LoadScenarioFile(options.scenarioPath, error);
    if (!loaded) return nullptr;
    scenario = std::move(*loaded);
  }
  std::vector<SimMixerDescription> mixers = scenario.mixers;
  auto hid = SimHidBackend::Create(std::move(scenario), SimOptions{options.tracePath}, error);
  if (!hid) return nullptr;
  if (!options.statePath.empty()) {
    std::optional<FlashState> flash;
    if (!OpenFlashStateFile(options.statePath, flash, error)) return nullptr;
    if (flash) hid->SetFlash(std::move(*flash));
  }
  return std::make_unique<SimulatedServices>(std::move(hid), std::move(mixers), options.statePath,
                                             options.simTiming.value_or(Timing{}));
}

}  // namespace kr35
