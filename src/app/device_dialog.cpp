#include "app/device_dialog.h"

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

DeviceDialog::DeviceDialog(int templateId, DialogHost& host, const DialogEnvironment& environment)
    : host_(host),
      timing_(environment.timing),
      templateId_(templateId),
      notifier_(environment.notifications),
      mixer_(environment.mixer),
      channel_(environment.hid, environment.timing, *environment.clock) {}

bool DeviceDialog::OnDialogInit() {
  RefreshControls();  // the info line shows the empty text instead of the template's
  const std::string about = LoadResourceString(129);
  if (!about.empty()) host_.AppendSystemMenuItem(kAboutMenuCommand, about);
  host_.SetDialogIcon(kIconId);
  notifier_.Register(&host_);
  channel_.SetNotifyWindow(&host_);
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
  if (channel_.FindAdapter() == 0) {
    host_.SetControlText(kVersionLine, kPlugInPrompt);
    host_.EnableControl(kVersionButton, false);
    host_.EnableControl(kDownloadButton, false);
    return;
  }
  mixer_.Bind(&host_);
  ShowInstalledVersions();
  host_.EnableControl(kVersionButton, true);
  host_.EnableControl(kDownloadButton, true);
}

void DeviceDialog::ShowPlugInPrompt() {
  host_.SetControlText(kVersionLine, kPlugInPrompt);
}

void DeviceDialog::ShowInstalledVersions() {
  std::string text;
  SendCommand(MakeQueryFrame(CMD_VERSIONS), text);
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
  if (usagePage != kConsumerPage) return 1;
  if (usage == kMuteUsage || usage == kAltMuteUsage) {
    const MuteToggle toggle = mixer_.ToggleRecordMute();
    if (observer_) observer_->OnMuteToggled(toggle.valueRead, toggle.valueWritten);
  }
  return 1;
}

bool DeviceDialog::SendCommand(const CommandFrame& frame, std::string& text) {
  return kr35::SendCommand(channel_, timing_, frame, text);
}

bool DeviceDialog::PollUpgradeStatus(std::uint8_t code) {
  return kr35::PollUpgradeStatus(channel_, timing_, code);
}

bool DeviceDialog::DownloadUsbFirmware(const FirmwareImage& image) {
  return kr35::DownloadUsbFirmware(channel_, timing_, image, *this);
}

bool DeviceDialog::DownloadDspFirmware(const FirmwareImage& image) {
  return kr35::DownloadDspFirmware(channel_, timing_, image, *this);
}

bool DeviceDialog::CheckReportForUsbDownload() {
  const std::string refusal = RefuseShortReportForUsb(channel_.OutputReportByteLength());
  if (refusal.empty()) return true;
  SetInfoText(refusal);
  RefreshControls();
  return false;
}

}  // namespace kr35
