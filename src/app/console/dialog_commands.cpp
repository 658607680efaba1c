#include "app/console/dialog_commands.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>

#include "adapter/transfer_texts.h"
#include "app/console/console_dialog_host.h"
#include "app/console/device_choice.h"
#include "app/console/exit_status.h"
#include "app/console/hex_inputs.h"
#include "app/console/history_command.h"
#include "app/console/silent_failure.h"
#include "app/console/terminal_signals.h"
#include "app/console/version_check.h"
#include "app/console/waiting_line.h"
#include "app/dialog_ids.h"
#include "app/full_dialog.h"
#include "app/keep_alive_clock.h"
#include "app/standard_dialog.h"
#include "app/ui_resources.h"
#include "hid/adapter_identity.h"
#include "hid/hex_bytes.h"
#include "hid/printable_text.h"
#ifndef _WIN32
#include "hid/hidraw/hidraw_diagnostics.h"
#endif

namespace kr35 {
namespace {

// How often a wait looks whether its waiting line is due.
constexpr std::chrono::milliseconds kWaitingTick{100};

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

// During a download: hands the typed progress to the printer (which draws
// it or adds its numbers to the info event), and notes a removal whenever the
// dialog handles it: a quick adapter may be back before the restart is
// followed, its notices handled with the queue.
class DownloadWatch final : public DialogObserver, public DownloadObserver {
 public:
  explicit DownloadWatch(EventPrinter& printer) : waiting(printer), printer_(printer) {}
  void OnDeviceNotice(std::uint32_t event) override {
    if (event == DBT_DEVICEREMOVECOMPLETE) removed = true;
    if (event == DBT_DEVICEARRIVAL && removed) returned = true;
  }
  void OnPartStarting(TransferPart part) override { waiting.Changed(WaitingFor::kAnswer, part); }
  void OnWait(const TransferWait& wait) override {
    waiting.Changed(WaitingFor::kErasing, wait.part);
  }
  void OnProgress(const TransferProgress& progress) override {
    waiting.Changed(
        progress.blocksDone < progress.blocks ? WaitingFor::kAnswer : WaitingFor::kChecking,
        progress.part);
    printer_.SetProgress(progress);
  }
  // Any other event ends what a progress text may show.
  void OnRefused(const TransferRefusal&) override { Ended(WaitingFor::kAnswer); }
  void OnFailed(const TransferFailure&) override { Ended(WaitingFor::kAnswer); }
  void OnDone(TransferPart part) override {
    Ended(part == TransferPart::kUsb ? WaitingFor::kRestart : WaitingFor::kAnswer);
  }
  void OnPartFinished(TransferPart, const TransferResult&) override {
    printer_.SetProgress(std::nullopt);
  }
  bool removed = false;
  bool returned = false;  // an arrival after the removal
  WaitingLine waiting;

 private:
  void Ended(WaitingFor next) {
    waiting.Changed(next);
    printer_.SetProgress(std::nullopt);
  }

  EventPrinter& printer_;
};

// After a download the adapter restarts: it goes away and comes back. Follow
// its notices for a while so the new versions are shown, as the dialog would.
// Returns what went wrong in words, empty when the versions were shown.
std::string FollowRestart(ConsoleDialogHost& host, DeviceDialog& dialog, DownloadWatch& watch) {
  constexpr auto kLimit = std::chrono::seconds(5);
  const auto start = std::chrono::steady_clock::now();
  while (std::chrono::steady_clock::now() - start < kLimit) {
    if (watch.removed && dialog.ShownVersions()) return {};
    host.DispatchFor(dialog, std::chrono::milliseconds(100));
    watch.waiting.Tick();
  }
  if (!watch.removed) return "the adapter did not restart within 5 s of the download";
  if (!watch.returned) return "the adapter did not come back within 5 s of its restart";
  return "the adapter did not answer the versions query after its restart";
}

// A failed command whose last exchange got no answer shows no text of its own.
void SaySilentFailure(const std::string& reason) {
  if (!reason.empty()) std::cerr << "kr35ctl: " << reason << "\n";
}

DownloadOutcome RefusedBeforeStart(RefusalReason reason, std::string detail = {}) {
  DownloadOutcome outcome;
  outcome.kind = Outcome::kRefused;
  outcome.reason = reason;
  outcome.detail = std::move(detail);
  return outcome;
}

// Another program held the adapter: nothing was sent. Says so on stderr.
std::optional<DownloadOutcome> BusyRefusal(DeviceDialog& dialog) {
  const std::optional<ClaimHolder>& holder = dialog.GetAdapter().BusyHolder();
  if (!holder) return std::nullopt;
  DownloadOutcome outcome;
  outcome.kind = Outcome::kRefused;
  outcome.detail = BusyText(*holder);
  SaySilentFailure(outcome.detail);
  return outcome;
}

// A claim taken over from a program that ended is said once.
void SayClaimNote(DeviceDialog& dialog) {
  SaySilentFailure(dialog.GetAdapter().TakeClaimNote());
}

// No adapter to download to: gone before the start, with no part.
DownloadOutcome NoAdapter() {
  DownloadOutcome outcome;
  outcome.kind = Outcome::kGone;
  outcome.detail = "no adapter found";
  return outcome;
}

// Before a download's first frame: the outcome that ends it when the dialog
// found no adapter, or the adapter is busy; none when it may go on.
std::optional<DownloadOutcome> RefusalBeforeDownload(DeviceDialog& dialog) {
  if (!dialog.Channel().IsOpen()) return NoAdapter();
  SayClaimNote(dialog);
  return BusyRefusal(dialog);
}

// The status kr35ctl exits with for a download's outcome.
int ExitStatusOf(const DownloadOutcome& outcome) {
  switch (outcome.kind) {
    case Outcome::kDone:
      return kExitDone;
    case Outcome::kRefused:
      return outcome.reason == RefusalReason::kInputUnreadable ? kExitUsage : kExitFailed;
    case Outcome::kGone:
      return outcome.part ? kExitFailed : kExitNoAdapter;
    case Outcome::kFailed:
    case Outcome::kInterrupted:
      break;
  }
  return kExitFailed;
}

std::string ReasonText(const DownloadOutcome& outcome) {
  std::string text = outcome.reason ? RefusalReasonName(*outcome.reason) : "";
  if (!outcome.detail.empty()) text += (text.empty() ? "" : ": ") + outcome.detail;
  return text;
}

// The last event of `download` in JSON: how it ended, as values.
void PrintResult(EventPrinter& printer, const DownloadOutcome& outcome) {
  std::string answer = "null";
  if (outcome.answer) {
    answer = "[";
    for (std::size_t i = 0; i < outcome.answer->size(); ++i) {
      answer += (i ? "," : "") + std::to_string((*outcome.answer)[i]);
    }
    answer += "]";
  }
  printer.Finish();
  printer.PrintJsonOnly(
      "result",
      "\"outcome\":" + JsonQuote(OutcomeName(outcome.kind)) +
          ",\"part\":" + (outcome.part ? JsonQuote(TransferPartName(*outcome.part)) : "null") +
          ",\"step\":" + (outcome.step ? JsonQuote(TransferStepName(*outcome.step)) : "null") +
          ",\"block\":" + (outcome.block ? std::to_string(*outcome.block) : "null") +
          ",\"answer\":" + answer + ",\"reason\":" + JsonQuote(ReasonText(outcome)));
}

// A second signal during the transfer ends the program at once: in JSON the
// result it leaves is written by the signal handler.
constexpr const char* kAbortedResult =
    "{\"event\":\"result\",\"outcome\":\"interrupted\",\"part\":null,\"step\":null,"
    "\"block\":null,\"answer\":null,\"reason\":\"aborted by a signal\"}\n";

std::atomic<bool> interrupted{false};
extern "C" void OnInterrupt(int) {
  interrupted = true;
}

}  // namespace

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

int RunListCommand(PlatformServices& services, EventPrinter& printer) {
  const std::vector<AdapterIdentity> adapters = ListAdapterInterfaces(services.Hid());
  for (const AdapterIdentity& adapter : adapters) {
    const std::string manufacturer = adapter.manufacturer.value_or("(unreadable)");
    const std::string product = adapter.product.value_or("(unreadable)");
    const std::optional<std::string>& serial = adapter.serialNumber;
    const std::string& port = adapter.usbPort;
    printer.PrintWithFields(
        "adapter",
        EscapeDeviceText(adapter.path) + "  " + Hex4(adapter.vendorId) + ":" +
            Hex4(adapter.productId) + "  " + EscapeDeviceText(manufacturer) + "  " +
            EscapeDeviceText(product) + "  serial " + (serial ? EscapeDeviceText(*serial) : "-") +
            "  port " + (port.empty() ? "-" : EscapeDeviceText(port)) +
            (IsUsableAdapter(adapter) ? "" : "  (not usable: no product string)"),
        "\"path\":" + JsonQuote(adapter.path) +
            ",\"vendorId\":" + std::to_string(adapter.vendorId) +
            ",\"productId\":" + std::to_string(adapter.productId) +
            ",\"manufacturer\":" + JsonQuote(manufacturer) + ",\"product\":" + JsonQuote(product) +
            ",\"serial\":" + (serial ? JsonQuote(*serial) : "null") +
            ",\"port\":" + (port.empty() ? "null" : JsonQuote(port)));
    WarnIfLastUpdateInterrupted(services, adapter);
  }
  WarnDuplicateSerials(adapters);
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
  if (adapters.empty()) printer.Print("version", kPlugInPrompt);
  return !adapters.empty() ? kExitDone : kExitNoAdapter;
}

int RunVersionsCommand(PlatformServices& services, EventPrinter& printer) {
  ConsoleDialogHost host(printer, false, false);
  StandardDialog dialog(host, EnvironmentOf(services));
  dialog.OnDialogInit();
  host.DispatchQueued(dialog);
  printer.Finish();
  if (!dialog.Channel().IsOpen()) return SaveAndReturn(services, kExitNoAdapter);
  WarnIfLastUpdateInterrupted(services, dialog.GetAdapter().Identity());
  SayClaimNote(dialog);
  const bool shown = dialog.ShownVersions().has_value();
  if (!shown && !BusyRefusal(dialog)) SaySilentFailure(SilentFailureReason(dialog.Channel()));
  return SaveAndReturn(services, shown ? kExitDone : kExitFailed);
}

int RunDownloadCommand(PlatformServices& services, EventPrinter& printer,
                       const ConsoleOptions& options, const std::string& usbHex,
                       const std::string& dspHex) {
  ConsoleDialogHost host(printer, options.assumeYes, options.interactive);
  DownloadWatch watch(printer);
  // The exchanges wait in slices, so that a silent wait shows what it waits for.
  KeepAliveClock tickingClock([&watch] { watch.waiting.Tick(); }, kWaitingTick,
                              services.ExchangeClock());
  DialogEnvironment environment = EnvironmentOf(services);
  environment.clock = &tickingClock;
  environment.timing.claimWait = {};  // a download refuses a busy adapter at once
  if (printer.Style() == OutputStyle::kJson) SetAbortResultLine(kAbortedResult);
  // Every way out prints the result last and exits with the status of the outcome.
  const auto finish = [&](const DownloadOutcome& outcome, int status) {
    PrintResult(printer, outcome);
    return status;
  };
  const bool fullMode = !usbHex.empty() || !dspHex.empty();
  if (!fullMode) {
    StandardDialog dialog(host, environment);
    dialog.OnDialogInit();
    if (const auto refusal = RefusalBeforeDownload(dialog)) {
      return finish(*refusal, SaveAndReturn(services, ExitStatusOf(*refusal)));
    }
    dialog.SetObserver(&watch);
    dialog.SetTransferObserver(&watch);
    dialog.OnCommand(kDownloadButton);
    const bool failed = dialog.LastOutcome() && !dialog.LastOutcome()->Done();
    const auto busy = failed ? BusyRefusal(dialog) : std::nullopt;
    printer.Finish();
    host.DispatchQueued(dialog);
    DownloadOutcome outcome =
        dialog.LastOutcome().value_or(RefusedBeforeStart(RefusalReason::kNotConfirmed));
    if (busy) {
      outcome = *busy;
    } else if (dialog.LastOutcome() && !outcome.Done()) {
      outcome.detail = SilentFailureReason(dialog.Channel());
      SaySilentFailure(outcome.detail);
    }
    const std::string restart = outcome.Done() ? FollowRestart(host, dialog, watch) : "";
    watch.waiting.Stop();
    const bool verified =
        outcome.Done() && CheckInstalledVersions(dialog.Channel().LastResponse(), restart, printer);
    const int status = outcome.Done() && !verified ? kExitFailed : ExitStatusOf(outcome);
    return finish(outcome, SaveAndReturn(services, status));
  }

  // Every named file is read and converted before the first frame: a bad
  // USB file must not be found after the DSP part has been replaced.
  std::vector<HexInput> inputs;
  std::string error;
  if (!ReadHexInputs(dspHex, usbHex, HexInputRule::kRequireImage, inputs, error)) {
    std::cerr << "kr35ctl: " << error << "\n";
    return finish(RefusedBeforeStart(RefusalReason::kInputUnreadable, error), kExitUsage);
  }
  FullDialog dialog(host, environment);
  dialog.commandLineParameter = "kr35ctl";
  dialog.SetObserver(&watch);
  dialog.SetTransferObserver(&watch);
  dialog.OnDialogInit();
  if (const auto refusal = RefusalBeforeDownload(dialog)) {
    return finish(*refusal, SaveAndReturn(services, ExitStatusOf(*refusal)));
  }
  // The FULL dialog sends without asking; on the terminal the confirmation guards it too.
  if (host.ShowMessageBox(LoadResourceString(kConfirmDownloadString), MessageBoxIcon::kExclamation,
                          MessageBoxButtons::kOkCancel) != MessageBoxResult::kOk) {
    const DownloadOutcome outcome = RefusedBeforeStart(RefusalReason::kNotConfirmed);
    return finish(outcome, SaveAndReturn(services, ExitStatusOf(outcome)));
  }
  host.SetControlText(kUsbPathBox, usbHex);
  host.SetControlText(kDspPathBox, dspHex);
  host.BeginWaitCursor();
  // Stricter than the dialog: the first part that fails ends the download.
  DownloadPlan plan;
  for (const HexInput& input : inputs) {
    (input.part == FirmwarePart::kDsp ? plan.dsp : plan.usb) = [&input] {
      return PartImage{PartImage::Status::kReady, input.file.Image()};
    };
    plan.Source(input.part) = {false, input.path, {}, input.file.Image()};
  }
  DownloadOutcome outcome = dialog.Download(plan);
  const auto busy = outcome.Done() ? std::nullopt : BusyRefusal(dialog);
  host.EndWaitCursor();
  host.SetControlText(kInfoLine, FullModeVerdictText(outcome.Done()));
  printer.Finish();
  host.DispatchQueued(dialog);
  if (outcome.Done() && !usbHex.empty()) FollowRestart(host, dialog, watch);
  watch.waiting.Stop();
  if (busy) {
    outcome = *busy;
  } else if (!outcome.Done()) {
    outcome.detail = SilentFailureReason(dialog.Channel());
    SaySilentFailure(outcome.detail);
  }
  return finish(outcome, SaveAndReturn(services, ExitStatusOf(outcome)));
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
