// The controller both dialogs share: it owns the adapter object, the device
// notification registration and the headset mixer binding, shows the
// installed versions, and follows plug and unplug.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "adapter/adapter.h"
#include "adapter/info_line.h"
#include "app/dialog_controller.h"
#include "app/dialog_host.h"
#include "firmware/firmware_image.h"
#include "hid/device_notifier.h"
#include "hid/hid_channel.h"
#include "mixer/headset_mixer.h"
#include "protocol/timing.h"

namespace kr35 {

inline constexpr const char* kPlugInPrompt = "Plug in KR35 hardware";

// The platform services a dialog works with.
struct DialogEnvironment {
  HidBackend& hid;
  DeviceNotificationBackend* notifications = nullptr;  // null: plug and unplug are not followed
  MixerApi& mixer;
  Timing timing{};
  // The clock the exchange waits on; a dialog host may give one that keeps its window alive.
  Clock* clock = &RealClock();
  // A program in the foreground holds the mirror mark of the adapter it has
  // open, so the agent steps back; the agent itself does not.
  bool holdMirrorMark = true;
};

// A press of the headset's mute button, among the button events.
bool IsMutePress(std::uintptr_t usagePage, std::intptr_t usage);

// Told what the dialog does with device notices, button events and the mixer;
// the terminal front-end prints these. Every method runs on the dialog thread.
class DialogObserver {
 public:
  virtual ~DialogObserver() = default;
  virtual void OnDeviceNotice(std::uint32_t /*event*/) {}
  virtual void OnButtonEvent(std::uint16_t /*usagePage*/, std::uint16_t /*usage*/) {}
  virtual void OnMuteToggled(std::int32_t /*valueRead*/, std::int32_t /*valueWritten*/) {}
};

class DeviceDialog : public DialogController, public InfoLine {
 public:
  DeviceDialog(int templateId, DialogHost& host, const DialogEnvironment& environment);
  ~DeviceDialog() override =
      default;  // releases the channel, the mixer, the info text, the notifier

  int TemplateId() const override { return templateId_; }
  bool OnDialogInit() override;
  void OnCommand(int controlId) override;
  void OnMessage(const DialogMessage& message) override;

  // Finds and opens the adapter, then shows its state.
  virtual void RefreshDevice();
  virtual void ShowPlugInPrompt();
  // The Version button: query and show the installed versions.
  void ShowInstalledVersions();
  void OnDeviceChange(std::uint32_t event);
  int OnHidEvent(std::uintptr_t usagePage, std::intptr_t usage);

  // The command exchange and the transfers, over this dialog's channel and info line.
  bool SendCommand(const CommandFrame& frame, std::string& text);
  bool PollUpgradeStatus(std::uint8_t code);
  bool DownloadUsbFirmware(const FirmwareImage& image);
  bool DownloadDspFirmware(const FirmwareImage& image);
  // Runs a download plan on the adapter, its texts in the info line; the
  // outcome is kept as LastOutcome().
  DownloadOutcome Download(const DownloadPlan& plan);

  // InfoLine: the transfers write progress through these.
  void SetInfoText(const std::string& text) override { infoText_ = text; }
  void RefreshControls() override { ExchangeData(); }

  void SetObserver(DialogObserver* observer) { observer_ = observer; }
  // Told of the typed transfer events before the info line shows their texts.
  void SetTransferObserver(DownloadObserver* observer) { transferObserver_ = observer; }
  // The outcome of the latest download plan run, none before the first.
  const std::optional<DownloadOutcome>& LastOutcome() const { return lastOutcome_; }
  // The versions the version line shows; none while it shows anything else.
  const std::optional<InstalledVersions>& ShownVersions() const { return shownVersions_; }
  const std::string& InfoText() const { return infoText_; }
  bool ArrivalPending() const { return arrivalPending_; }
  Adapter& GetAdapter() { return adapter_; }
  HidChannel& Channel() { return adapter_.Channel(); }
  HeadsetMixer& Mixer() { return mixer_; }
  DialogHost& Host() { return host_; }

 protected:
  // Writes the dialog's text members into their controls.
  virtual void ExchangeData() {}

  DialogHost& host_;
  Timing timing_;
  DialogObserver* observer_ = nullptr;

 private:
  void ShowVersionLine(const std::string& text, std::optional<InstalledVersions> versions);

  int templateId_;
  bool holdMirrorMark_;
  std::unique_ptr<AdapterClaim> mirrorMark_;
  DownloadObserver* transferObserver_ = nullptr;
  std::optional<DownloadOutcome> lastOutcome_;
  std::optional<InstalledVersions> shownVersions_;
  // Destroyed in reverse order: adapter (its channel), mixer, info text, notifier.
  bool arrivalPending_ = false;
  DeviceNotifier notifier_;
  std::string infoText_;
  HeadsetMixer mixer_;
  Adapter adapter_;
};

}  // namespace kr35
