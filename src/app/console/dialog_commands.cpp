#include "app/console/dialog_commands.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>

#include "app/console/console_dialog_host.h"
#include "app/console/exit_status.h"
#include "app/console/hex_inputs.h"
#include "app/console/silent_failure.h"
#include "app/console/version_check.h"
#include "app/dialog_ids.h"
#include "app/full_dialog.h"
#include "app/standard_dialog.h"
#include "app/ui_resources.h"
#include "hid/hid_device.h"
#include "hid/printable_text.h"
#ifndef _WIN32
#include "hid/hidraw/hidraw_diagnostics.h"
#endif

namespace kr35 {
namespace {

DialogEnvironment EnvironmentOf(PlatformServices& services) {
  DialogEnvironment environment{services.Hid(), services.Notifications(), services.Mixer(),
                                services.ExchangeTiming()};
  environment.clock = &services.ExchangeClock();
  return environment;
}

int SaveAndReturn(PlatformServices& services, int status) {
  std::string error;
  if (!services.Save(error)) {
    std::cerr << "kr35ctl: " << error << "\n";
    return status == kExitDone ? kExitFailed : status;
  }
  return status;
}

std::string Hex4(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "%04x", value & 0xFFFFu);
  return text;
}

// Prints what the dialog does with notices, buttons and the mixer.
class MonitorObserver : public DialogObserver {
 public:
  explicit MonitorObserver(EventPrinter& printer) : printer_(printer) {}
  void OnDeviceNotice(std::uint32_t event) override {
    const char* name = event == DBT_DEVICEARRIVAL          ? "arrival"
                       : event == DBT_DEVICEREMOVECOMPLETE ? "removal"
                       : event == DBT_DEVNODES_CHANGED     ? "device tree changed"
                                                           : "other";
    printer_.PrintWithFields("device", name, "\"code\":" + std::to_string(event));
  }
  void OnButtonEvent(std::uint16_t usagePage, std::uint16_t usage) override {
    printer_.PrintWithFields(
        "button", "usage page " + Hex4(usagePage) + ", usage " + Hex4(usage),
        "\"usagePage\":" + std::to_string(usagePage) + ",\"usage\":" + std::to_string(usage));
  }
  void OnMuteToggled(std::int32_t valueRead, std::int32_t valueWritten) override {
    printer_.PrintWithFields(
        "mute", "read " + std::to_string(valueRead) + ", wrote " + std::to_string(valueWritten),
        "\"read\":" + std::to_string(valueRead) + ",\"written\":" + std::to_string(valueWritten));
  }

 private:
  EventPrinter& printer_;
};

// Notes a removal whenever the dialog handles it: a quick adapter may be
// back before the restart is followed, its notices handled with the queue.
class RemovalWatch : public DialogObserver {
 public:
  void OnDeviceNotice(std::uint32_t event) override {
    if (event == DBT_DEVICEREMOVECOMPLETE) removed = true;
  }
  bool removed = false;
};

// After a download the adapter restarts: it goes away and comes back. Follow
// its notices for a while so the new versions are shown, as the dialog would.
void FollowRestart(ConsoleDialogHost& host, DeviceDialog& dialog, const RemovalWatch& watch) {
  constexpr auto kLimit = std::chrono::seconds(5);
  const auto start = std::chrono::steady_clock::now();
  while (std::chrono::steady_clock::now() - start < kLimit) {
    if (watch.removed && host.GetControlText(kVersionLine).rfind("USB ", 0) == 0) return;
    host.DispatchFor(dialog, std::chrono::milliseconds(100));
  }
}

// A failed command whose last exchange got no answer shows no text of its own.
void SaySilentFailure(DeviceDialog& dialog) {
  const std::string reason = SilentFailureReason(dialog.Channel());
  if (!reason.empty()) std::cerr << "kr35ctl: " << reason << "\n";
}

std::atomic<bool> interrupted{false};
extern "C" void OnInterrupt(int) {
  interrupted = true;
}

}  // namespace

int RunListCommand(PlatformServices& services, EventPrinter& printer) {
  int found = 0;
  HidBackend& hid = services.Hid();
  const auto paths = hid.EnumerateInterfaces();
  for (const std::string& path : paths.value_or(std::vector<std::string>{})) {
    auto handle = hid.OpenRead(path);
    HidAttributes attributes;
    if (!handle || !handle->GetAttributes(attributes) ||
        !IsAdapterIdentity(attributes.vendorId, attributes.productId)) {
      continue;
    }
    std::string manufacturer = "(unreadable)";
    std::string product = "(unreadable)";
    handle->GetManufacturerString(manufacturer);
    const bool productRead = handle->GetProductString(product);
    std::string serial;
    const bool serialRead = handle->GetSerialNumberString(serial) && !serial.empty();
    ++found;
    printer.PrintWithFields(
        "adapter",
        EscapeDeviceText(path) + "  " + Hex4(attributes.vendorId) + ":" +
            Hex4(attributes.productId) + "  " + EscapeDeviceText(manufacturer) + "  " +
            EscapeDeviceText(product) + (serialRead ? "  serial " + EscapeDeviceText(serial) : "") +
            (productRead ? "" : "  (not usable: no product string)"),
        "\"path\":" + JsonQuote(path) + ",\"vendorId\":" + std::to_string(attributes.vendorId) +
            ",\"productId\":" + std::to_string(attributes.productId) +
            ",\"manufacturer\":" + JsonQuote(manufacturer) + ",\"product\":" + JsonQuote(product) +
            ",\"serial\":" + (serialRead ? JsonQuote(serial) : "null"));
  }
#ifndef _WIN32
  if (!services.IsSimulated()) {
    // Nodes of the adapter that exist but cannot be opened are named, with the fix.
    for (const HidrawNodeInfo& node : ListHidrawNodes()) {
      if (node.openable || !node.idsKnown || !IsAdapterIdentity(node.vendorId, node.productId)) {
        continue;
      }
      std::cerr << "kr35ctl: " << node.path << " is the adapter but cannot be opened"
                << (node.openError == OpenError::kPermissionDenied ? " (permission denied)" : "")
                << ".\nkr35ctl: grant access with this udev rule in "
                   "/etc/udev/rules.d/70-kr35.rules, then replug the adapter:\n"
                << UdevRuleLine(node.productId) << "\n";
    }
  }
#endif
  if (found == 0) printer.Print("version", "Plug in KR35 hardware");
  return found > 0 ? kExitDone : kExitNoAdapter;
}

int RunVersionsCommand(PlatformServices& services, EventPrinter& printer) {
  ConsoleDialogHost host(printer, false, false);
  StandardDialog dialog(host, EnvironmentOf(services));
  dialog.OnDialogInit();
  host.DispatchQueued(dialog);
  printer.Finish();
  if (!dialog.Channel().IsOpen()) return SaveAndReturn(services, kExitNoAdapter);
  const bool shown = host.GetControlText(kVersionLine).rfind("USB ", 0) == 0;
  if (!shown) SaySilentFailure(dialog);
  return SaveAndReturn(services, shown ? kExitDone : kExitFailed);
}

int RunDownloadCommand(PlatformServices& services, EventPrinter& printer,
                       const ConsoleOptions& options, const std::string& usbHex,
                       const std::string& dspHex) {
  ConsoleDialogHost host(printer, options.assumeYes, options.interactive);
  const DialogEnvironment environment = EnvironmentOf(services);
  const bool fullMode = !usbHex.empty() || !dspHex.empty();
  if (!fullMode) {
    StandardDialog dialog(host, environment);
    dialog.OnDialogInit();
    if (!dialog.Channel().IsOpen()) return SaveAndReturn(services, kExitNoAdapter);
    RemovalWatch watch;
    dialog.SetObserver(&watch);
    dialog.OnCommand(kDownloadButton);
    printer.Finish();
    host.DispatchQueued(dialog);
    const bool succeeded =
        !host.MessagesShown().empty() &&
        host.MessagesShown().back() == LoadResourceString(kDownloadSucceededString);
    if (succeeded) FollowRestart(host, dialog, watch);
    if (!succeeded && host.MessagesShown().size() > 1) SaySilentFailure(dialog);
    const bool verified =
        succeeded && CheckInstalledVersions(dialog.Channel().LastResponse(), printer);
    return SaveAndReturn(services, verified ? kExitDone : kExitFailed);
  }

  // Every named file is read and converted before the first frame: a bad
  // USB file must not be found after the DSP part has been replaced.
  std::vector<HexInput> inputs;
  std::string error;
  if (!ReadHexInputs(dspHex, usbHex, HexInputRule::kRequireImage, inputs, error)) {
    std::cerr << "kr35ctl: " << error << "\n";
    return kExitUsage;
  }
  FullDialog dialog(host, environment);
  dialog.commandLineParameter = "kr35ctl";
  RemovalWatch watch;
  dialog.SetObserver(&watch);
  dialog.OnDialogInit();
  if (!dialog.Channel().IsOpen()) return SaveAndReturn(services, kExitNoAdapter);
  // The FULL dialog sends without asking; on the terminal the confirmation guards it too.
  if (host.ShowMessageBox(LoadResourceString(kConfirmDownloadString), MessageBoxIcon::kExclamation,
                          MessageBoxButtons::kOkCancel) != MessageBoxResult::kOk) {
    return SaveAndReturn(services, kExitFailed);
  }
  host.SetControlText(kUsbPathBox, usbHex);
  host.SetControlText(kDspPathBox, dspHex);
  host.BeginWaitCursor();
  bool allSucceeded = usbHex.empty() || dialog.CheckReportForUsbDownload();
  for (const HexInput& input : inputs) {
    if (!allSucceeded) break;  // refused before the first frame
    allSucceeded =
        dialog.DownloadImage(input.file, input.part) == FullDialog::FileResult::kSucceeded &&
        allSucceeded;
  }
  host.EndWaitCursor();
  host.SetControlText(kInfoLine, allSucceeded ? "Success!" : "Fail!");
  printer.Finish();
  host.DispatchQueued(dialog);
  if (allSucceeded && !usbHex.empty()) FollowRestart(host, dialog, watch);
  if (!allSucceeded) SaySilentFailure(dialog);
  return SaveAndReturn(services, allSucceeded ? kExitDone : kExitFailed);
}

int RunMonitorCommand(PlatformServices& services, EventPrinter& printer, double durationSeconds) {
  ConsoleDialogHost host(printer, false, false);
  StandardDialog dialog(host, EnvironmentOf(services));
  MonitorObserver observer(printer);
  dialog.SetObserver(&observer);
  interrupted = false;
  auto previous = std::signal(SIGINT, OnInterrupt);
  auto previousTerm = std::signal(SIGTERM, OnInterrupt);
  dialog.OnDialogInit();
  const auto start = std::chrono::steady_clock::now();
  const auto limit = std::chrono::duration<double>(durationSeconds);
  while (!interrupted &&
         (durationSeconds < 0 || std::chrono::steady_clock::now() - start < limit)) {
    host.DispatchFor(dialog, std::chrono::milliseconds(50));
  }
  std::signal(SIGINT, previous);
  std::signal(SIGTERM, previousTerm);
  printer.Finish();
  return SaveAndReturn(services, kExitDone);
}

}  // namespace kr35
