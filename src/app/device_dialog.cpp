#include "app/device_dialog.h"

#include "adapter/transfer_texts.h"
#include "app/dialog_ids.h"
#include "app/ui_resources.h"
#include "protocol/command_exchange.h"
#include "protocol/firmware_transfer.h"

namespace kr35 {
namespace {

constexpr std::uintptr_t kConsumerPage = 0x0C;
constexpr std::intptr_t kMuteUsage = 0xE2;
constexpr std::intptr_t kAltMuteUsage = 0x5101;

}  // namespace

bool IsMutePress(std::uintptr_t usagePage, std::intptr_t usage) {
  return usagePage == kConsumerPage && (usage == kMuteUsage || usage == kAltMuteUsage);
}

DeviceDialog::DeviceDialog(int templateId, DialogHost& host, const DialogEnvironment& environment)
    : host_(host),
      timing_(environment.timing),
      templateId_(templateId),
      holdMirrorMark_(environment.holdMirrorMark),
      notifier_(environment.notifications),
      mixer_(environment.mixer),
      adapter_(environment.hid, environment.timing, *environment.clock) {}

bool DeviceDialog::OnDialogInit() {
  RefreshControls();  // the info line shows the empty text instead of the template's
  const std::string about = LoadResourceString(kAboutMenuString);
  if (!about.empty()) host_.AppendSystemMenuItem(kAboutMenuCommand, about);
  host_.SetDialogIcon(kIconId);
  notifier_.Register(&host_);
  Channel().SetNotifyWindow(&host_);
  RefreshDevice();
  return true;
}

void DeviceDialog::OnCommand(int /*controlId*/) {}

void DeviceDialog::OnMessage(const DialogMessage& message) {
  if (message.message == WM_HID_EVENT) {
    OnHidEvent(message.wParam, message.lParam);
  } else if (message.message == WM_DEVICECHANGE) {
    OnDeviceChange(static_cast<std::uint32_t>(message.wParam));
  }
}

void DeviceDialog::RefreshDevice() {
  SetInfoText("");
  RefreshControls();
  if (!adapter_.OpenFirst()) {
    ShowVersionLine(kPlugInPrompt, std::nullopt);
    host_.EnableControl(kVersionButton, false);
    host_.EnableControl(kDownloadButton, false);
    return;
  }
  // Marked before the first press is handled or frame sent; a mark on the
  // adapter opened before is kept until then.
  if (holdMirrorMark_) mirrorMark_ = adapter_.HoldMirrorMark();
  mixer_.Bind(&host_);
  ShowInstalledVersions();
  host_.EnableControl(kVersionButton, true);
  host_.EnableControl(kDownloadButton, true);
}

void DeviceDialog::ShowPlugInPrompt() {
  ShowVersionLine(kPlugInPrompt, std::nullopt);
}

void DeviceDialog::ShowInstalledVersions() {
  const VersionsAnswer answer = adapter_.Versions();
  ShowVersionLine(answer.text, answer.versions);
}

void DeviceDialog::ShowVersionLine(const std::string& text,
                                   std::optional<InstalledVersions> versions) {
  shownVersions_ = versions;
  host_.SetControlText(kVersionLine, text);
}

void DeviceDialog::OnDeviceChange(std::uint32_t event) {
  if (observer_) observer_->OnDeviceNotice(event);
  switch (event) {
    case DBT_DEVICEARRIVAL:
      arrivalPending_ = true;
      break;
    case DBT_DEVNODES_CHANGED:
      if (arrivalPending_) {
        arrivalPending_ = false;
        RefreshDevice();
      }
      break;
    case DBT_DEVICEREMOVECOMPLETE:
      // Any HID removal releases the mixer; the channel stays open.
      mixer_.Unbind();
      ShowPlugInPrompt();
      break;
    default:
      break;
  }
}

int DeviceDialog::OnHidEvent(std::uintptr_t usagePage, std::intptr_t usage) {
  if (observer_) {
    observer_->OnButtonEvent(static_cast<std::uint16_t>(usagePage),
                             static_cast<std::uint16_t>(usage));
  }
  if (IsMutePress(usagePage, usage)) {
    const MuteToggle toggle = mixer_.ToggleRecordMute();
    if (observer_) observer_->OnMuteToggled(toggle.valueRead, toggle.valueWritten);
  }
  return 1;
}

bool DeviceDialog::SendCommand(const CommandFrame& frame, std::string& text) {
  Adapter::Exchange exchange(adapter_);
  return kr35::SendCommand(exchange.Port(), timing_, frame, text);
}

bool DeviceDialog::PollUpgradeStatus(std::uint8_t code) {
  Adapter::Exchange exchange(adapter_);
  return kr35::PollUpgradeStatus(exchange.Port(), timing_, code);
}

bool DeviceDialog::DownloadUsbFirmware(const FirmwareImage& image) {
  Adapter::Exchange exchange(adapter_);
  InfoLineTexts texts(*this, transferObserver_);
  return TransferUsbFirmware(exchange.Port(), timing_, image, texts).Succeeded();
}

bool DeviceDialog::DownloadDspFirmware(const FirmwareImage& image) {
  Adapter::Exchange exchange(adapter_);
  InfoLineTexts texts(*this, transferObserver_);
  return TransferDspFirmware(exchange.Port(), timing_, image, texts).Succeeded();
}

DownloadOutcome DeviceDialog::Download(const DownloadPlan& plan) {
  InfoLineTexts texts(*this, transferObserver_);
  lastOutcome_ = adapter_.Download(plan, texts);
  return *lastOutcome_;
}

}  // namespace kr35
