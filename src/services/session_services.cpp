#include "services/session_services.h"

#include "hid/chosen_interface_backend.h"
#include "history/history_file.h"
#include "history/history_location.h"
#include "mixer/sim/sim_mixer.h"
#include "record/recorded_interfaces.h"
#include "record/recording_check.h"
#include "record/session_recorder.h"
#include "record/session_replay.h"
#include "services/simulated_services.h"

namespace kr35 {
namespace {

// A replayed session has no mixers: the recording holds the HID side only.
class ReplayServices final : public PlatformServices {
 public:
  ReplayServices(Recording recording, bool maxSpeed)
      : interfaces_(recording), replay_(std::move(recording), maxSpeed), mixer_({}) {}

  HidBackend& Hid() override { return replay_.Hid(); }
  // The check of --device looks here, not at the replay: the replay then
  // meets the same calls whether or not --device names the recorded adapter.
  HidBackend& AllInterfaces() override { return interfaces_; }
  DeviceNotificationBackend* Notifications() override { return &replay_.Notifications(); }
  MixerApi& Mixer() override { return mixer_; }
  bool IsSimulated() const override { return true; }
  Clock& ExchangeClock() override { return replay_.ExchangeClock(); }
  bool Save(std::string& error) override {
    error = replay_.Diagnosis();
    if (!error.empty()) error = "replay: " + error;
    return error.empty();
  }
  std::optional<std::pair<std::size_t, std::size_t>> ReplayedReports() const override {
    const ReplayProgress progress = replay_.Progress();
    return std::pair{progress.written, progress.recorded};
  }

 private:
  RecordedInterfacesBackend interfaces_;
  SessionReplay replay_;
  SimMixer mixer_;
};

// Other services seen through another HID backend, and another notification
// backend when one is given.
class WrappedServices final : public PlatformServices {
 public:
  WrappedServices(std::unique_ptr<PlatformServices> inner, std::unique_ptr<HidBackend> hid,
                  std::unique_ptr<DeviceNotificationBackend> notifications,
                  std::shared_ptr<RecordingFile> recording = nullptr)
      : inner_(std::move(inner)),
        hid_(std::move(hid)),
        notifications_(std::move(notifications)),
        recording_(std::move(recording)) {}

  HidBackend& Hid() override { return *hid_; }
  // Past the recording: checking --device is no part of the session, so a
  // replay goes the same way with or without it.
  HidBackend& AllInterfaces() override { return inner_->AllInterfaces(); }
  DeviceNotificationBackend* Notifications() override {
    return notifications_ ? notifications_.get() : inner_->Notifications();
  }
  MixerApi& Mixer() override { return inner_->Mixer(); }
  bool IsSimulated() const override { return inner_->IsSimulated(); }
  Clock& ExchangeClock() override { return inner_->ExchangeClock(); }
  bool Save(std::string& error) override { return inner_->Save(error); }
  std::string LostOutput() const override { return inner_->LostOutput(); }
  std::optional<std::pair<std::size_t, std::size_t>> ReplayedReports() const override {
    return inner_->ReplayedReports();
  }
  std::string RecordingLoss() const override {
    const std::string own = recording_ ? recording_->LostLines() : std::string();
    return own.empty() ? inner_->RecordingLoss() : own;
  }
  Timing ExchangeTiming() const override { return inner_->ExchangeTiming(); }

 private:
  std::unique_ptr<PlatformServices> inner_;
  std::unique_ptr<HidBackend> hid_;
  std::unique_ptr<DeviceNotificationBackend> notifications_;
  std::shared_ptr<RecordingFile> recording_;
};

}  // namespace

PlatformServices::~PlatformServices() {
  if (history_ && InstalledDownloadHistory() == history_) InstallDownloadHistory(nullptr);
}

std::unique_ptr<PlatformServices> CreateReplayServices(const ServiceOptions& options,
                                                       std::string& error) {
  auto recording = LoadRecording(options.replayPath, error);
  if (!recording) return nullptr;
  if (const std::string why = WhyNoRecordedAdapter(*recording); !why.empty()) {
    error = options.replayPath + ": " + why;
    return nullptr;
  }
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
                                           std::move(notifications), std::move(file));
}

std::unique_ptr<PlatformServices> PlatformServices::Create(const ServiceOptions& options,
                                                           std::string& error) {
  std::unique_ptr<PlatformServices> services =
      !options.replayPath.empty() ? CreateReplayServices(options, error)
      : options.simulate          ? CreateSimulatedServices(options, error)
                                  : CreateNativeServices();
  // The recording sees every interface, and the choice of one is made above
  // it: a replay meets the same calls with or without --device.
  if (services && !options.recordPath.empty()) {
    services = RecordServices(std::move(services), options, error);
  }
  if (services && !options.devicePath.empty()) {
    auto chosen = std::make_unique<ChosenInterfaceBackend>(services->Hid(), options.devicePath);
    services = std::make_unique<WrappedServices>(std::move(services), std::move(chosen), nullptr);
  }
  if (services) {
    services->historyPath_ = ChosenHistoryPath(options.history, services->IsSimulated());
    if (services->historyPath_) {
      services->history_ = std::make_shared<HistoryFile>(*services->historyPath_, options.program,
                                                         KR35_VERSION, options.historyWarning);
      InstallDownloadHistory(services->history_);
    }
  }
  return services;
}

}  // namespace kr35
