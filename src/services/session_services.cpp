#include "services/session_services.h"

#include "hid/chosen_interface_backend.h"
#include "mixer/sim/sim_mixer.h"
#include "record/session_recorder.h"
#include "record/session_replay.h"
#include "services/simulated_services.h"

namespace kr35 {
namespace {

// A replayed session has no mixers: the recording holds the HID side only.
class ReplayServices final : public PlatformServices {
 public:
  ReplayServices(Recording recording, bool maxSpeed)
      : replay_(std::move(recording), maxSpeed), mixer_({}) {}

  HidBackend& Hid() override { return replay_.Hid(); }
  DeviceNotificationBackend* Notifications() override { return &replay_.Notifications(); }
  MixerApi& Mixer() override { return mixer_; }
  bool IsSimulated() const override { return true; }
  Clock& ExchangeClock() override { return replay_.ExchangeClock(); }
  bool Save(std::string& error) override {
    error = replay_.Diagnosis();
    if (!error.empty()) error = "replay: " + error;
    return error.empty();
  }

 private:
  SessionReplay replay_;
  SimMixer mixer_;
};

// Other services seen through another HID backend, and another notification
// backend when one is given. `hidesInterfaces`: the HID backend shows only
// some of the inner one's interfaces.
class WrappedServices final : public PlatformServices {
 public:
  WrappedServices(std::unique_ptr<PlatformServices> inner, std::unique_ptr<HidBackend> hid,
                  std::unique_ptr<DeviceNotificationBackend> notifications, bool hidesInterfaces)
      : inner_(std::move(inner)),
        hid_(std::move(hid)),
        notifications_(std::move(notifications)),
        hidesInterfaces_(hidesInterfaces) {}

  HidBackend& Hid() override { return *hid_; }
  HidBackend& AllInterfaces() override { return hidesInterfaces_ ? inner_->Hid() : *hid_; }
  DeviceNotificationBackend* Notifications() override {
    return notifications_ ? notifications_.get() : inner_->Notifications();
  }
  MixerApi& Mixer() override { return inner_->Mixer(); }
  bool IsSimulated() const override { return inner_->IsSimulated(); }
  Clock& ExchangeClock() override { return inner_->ExchangeClock(); }
  bool Save(std::string& error) override { return inner_->Save(error); }

 private:
  std::unique_ptr<PlatformServices> inner_;
  std::unique_ptr<HidBackend> hid_;
  std::unique_ptr<DeviceNotificationBackend> notifications_;
  const bool hidesInterfaces_;
};

}  // namespace

std::unique_ptr<PlatformServices> CreateReplayServices(const ServiceOptions& options,
                                                       std::string& error) {
  auto recording = LoadRecording(options.replayPath, error);
  if (!recording) return nullptr;
  return std::make_unique<ReplayServices>(std::move(*recording), options.replayMaxSpeed);
}

std::unique_ptr<PlatformServices> RecordServices(std::unique_ptr<PlatformServices> inner,
                                                 const ServiceOptions& options,
                                                 std::string& error) {
  auto file = RecordingFile::Create(options.recordPath, options.program, error);
  if (!file) return nullptr;
  auto hid = std::make_unique<RecordingHidBackend>(inner->Hid(), file);
  std::unique_ptr<DeviceNotificationBackend> notifications;
  if (DeviceNotificationBackend* innerNotifications = inner->Notifications()) {
    notifications = std::make_unique<RecordingNotificationBackend>(*innerNotifications, file);
  }
  return std::make_unique<WrappedServices>(std::move(inner), std::move(hid),
                                           std::move(notifications), false);
}

std::unique_ptr<PlatformServices> PlatformServices::Create(const ServiceOptions& options,
                                                           std::string& error) {
  std::unique_ptr<PlatformServices> services =
      !options.replayPath.empty() ? CreateReplayServices(options, error)
      : options.simulate          ? CreateSimulatedServices(options, error)
                                  : CreateNativeServices();
  // The recording sees every interface, and the choice of one is made above it,
  // so that a replay with the same --device meets the same calls.
  if (services && !options.recordPath.empty()) {
    services = RecordServices(std::move(services), options, error);
  }
  if (services && !options.devicePath.empty()) {
    auto chosen = std::make_unique<ChosenInterfaceBackend>(services->Hid(), options.devicePath);
    services =
        std::make_unique<WrappedServices>(std::move(services), std::move(chosen), nullptr, true);
  }
  return services;
}

}  // namespace kr35
