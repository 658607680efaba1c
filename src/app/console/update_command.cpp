#include "app/console/update_command.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <iostream>
#include <mutex>
#include <thread>
#include <variant>

#include "adapter/adapter.h"
#include "adapter/download_history.h"
#include "app/console/console_dialog_host.h"
#include "app/console/device_choice.h"
#include "app/console/exit_status.h"
#include "app/console/fleet_display.h"
#include "app/console/fleet_report.h"
#include "app/console/hex_inputs.h"
#include "app/console/history_command.h"
#include "app/console/terminal_signals.h"
#include "firmware/builtin_images.h"
#include "firmware/firmware_image.h"
#include "hid/printable_text.h"
#include "protocol/firmware_transfer.h"

namespace kr35 {
namespace {

using SteadyClock = std::chrono::steady_clock;

// How long an adapter may take to go away after its USB part, and again to
// come back on its new firmware.
constexpr auto kRestartLimit = std::chrono::seconds(10);
constexpr auto kRestartPoll = std::chrono::milliseconds(20);

// What every worker shares: the backend, the exchange's timing and clock,
// the targets, the display and the adapters, whose fields are written and
// read (by the report on a signal) under `mutex`.
struct FleetContext {
  HidBackend& hid;
  Timing timing;
  Clock& clock;
  FleetTargets targets;
  FleetDisplay& display;
  std::vector<FleetUnit>& units;
  std::mutex mutex;
};

// Runs job(i) for i in [0, count), at most `jobs` at once.
// How often the display looks for adapters that have been silent.
constexpr std::chrono::milliseconds kWaitingTick{200};

void RunJobs(std::size_t count, int jobs, const std::function<void(std::size_t)>& job) {
  std::atomic<std::size_t> next{0};
  const auto worker = [&] {
    for (std::size_t i = next++; i < count; i = next++) job(i);
  };
  std::vector<std::thread> threads;
  const std::size_t n = std::min<std::size_t>(count, static_cast<std::size_t>(std::max(jobs, 1)));
  for (std::size_t t = 1; t < n; ++t) threads.emplace_back(worker);
  worker();
  for (std::thread& thread : threads) thread.join();
}

bool LoadTargets(const UpdateOptions& options, std::vector<HexInput>& inputs, FleetTargets& targets,
                 std::string& error) {
  if (options.usbHex.empty() && options.dspHex.empty()) {
    targets.usb = LoadBuiltInImage(kUsbImageId);
    targets.dsp = LoadBuiltInImage(kDspImageId);
  } else {
    if (!ReadHexInputs(options.dspHex, options.usbHex, HexInputRule::kRequireImage, inputs,
                       error)) {
      return false;
    }
    for (const HexInput& input : inputs) {
      (input.part == FirmwarePart::kDsp ? targets.dsp : targets.usb) = input.file.Image();
      (input.part == FirmwarePart::kDsp ? targets.dspPath : targets.usbPath) = input.path;
    }
  }
  if (targets.usb) targets.usbVersion = FirmwareImage(*targets.usb).Version();
  if (targets.dsp) targets.dspVersion = FirmwareImage(*targets.dsp).Version();
  return true;
}

std::optional<std::uint16_t> TargetVersion(const FleetTargets& targets, TransferPart part) {
  return part == TransferPart::kUsb ? targets.usbVersion : targets.dspVersion;
}

std::uint16_t InstalledVersion(const InstalledVersions& versions, TransferPart part) {
  return part == TransferPart::kUsb ? versions.usb : versions.dsp;
}

bool MatchesTargets(const InstalledVersions& versions, const FleetTargets& targets) {
  return std::all_of(kDownloadOrder.begin(), kDownloadOrder.end(), [&](TransferPart part) {
    const auto target = TargetVersion(targets, part);
    return !target || *target == InstalledVersion(versions, part);
  });
}

// The adapters the command works on, or an exit status.
std::variant<std::vector<AdapterIdentity>, int> SelectAdapters(PlatformServices& services,
                                                               const UpdateOptions& options) {
  std::vector<AdapterIdentity> present = ListAdapterInterfaces(services.AllInterfaces());
  std::erase_if(present, [](const AdapterIdentity& a) { return !IsUsableAdapter(a); });
  WarnDuplicateSerials(present);
  std::string path = options.device;
  if (!options.serial.empty()) {
    const auto found = PathOfSerial(services, options.serial);
    if (!found) return kExitNoAdapter;
    path = *found;
  }
  if (!path.empty()) {
    if (!CheckChosenAdapter(services, path)) return kExitNoAdapter;
    std::erase_if(present, [&](const AdapterIdentity& a) { return a.path != path; });
  } else if (!options.all && !present.empty()) {
    present.resize(1);  // the first adapter, as every other command takes it
  }
  if (present.empty()) {
    std::cerr << "kr35ctl: no adapter found\n";
    return kExitNoAdapter;
  }
  return present;
}

// Follows the adapter's progress into the display.
class UnitObserver final : public DownloadObserver {
 public:
  UnitObserver(FleetDisplay& display, std::size_t row) : display_(display), row_(row) {}
  void OnPartStarting(TransferPart part) override {
    part_ = part;
    display_.Update(row_, part, 0, "starting");
  }
  void OnWait(const TransferWait& wait) override {
    display_.Update(row_, wait.part, percent_, "erasing");
  }
  void OnProgress(const TransferProgress& progress) override {
    percent_ = progress.percent;
    display_.Update(row_, progress.part, progress.percent, "sending");
  }
  void OnDone(TransferPart part) override { display_.Update(row_, part, 100, "sent"); }
  void OnFailed(const TransferFailure& failure) override {
    display_.Update(row_, failure.part, percent_, "failing");
  }

 private:
  FleetDisplay& display_;
  std::size_t row_;
  std::optional<TransferPart> part_;
  int percent_ = 0;
};

void PlanUnit(FleetContext& context, FleetUnit& unit, bool force) {
  Adapter adapter(context.hid, context.timing, context.clock);
  const std::string& path = unit.identity.path;
  const auto refuse = [&](std::string reason) {
    std::lock_guard lock(context.mutex);
    unit.action = FleetAction::kRefused;
    unit.reason = std::move(reason);
  };
  if (!context.hid.OpenWrite(path)) return refuse("cannot be opened for writing");
  if (!adapter.Open(path)) return refuse("cannot be opened");
  const VersionsAnswer answer = adapter.Versions();
  if (const auto& holder = adapter.BusyHolder()) return refuse(BusyText(*holder));
  if (!answer.versions) return refuse("no answer to the versions query");
  std::vector<TransferPart> parts;
  for (TransferPart part : kDownloadOrder) {
    const auto target = TargetVersion(context.targets, part);
    if (target && (force || *target != InstalledVersion(*answer.versions, part))) {
      parts.push_back(part);
    }
  }
  const bool usb = std::find(parts.begin(), parts.end(), TransferPart::kUsb) != parts.end();
  const auto tooShort =
      usb ? CheckReportForUsb(adapter.Channel().OutputReportByteLength()) : std::nullopt;
  std::lock_guard lock(context.mutex);
  unit.before = answer.versions;
  unit.parts = parts;
  unit.action = parts.empty() ? FleetAction::kCurrent : FleetAction::kUpdate;
  if (tooShort) {
    unit.action = FleetAction::kRefused;
    unit.reason = std::string(RefusalReasonName(tooShort->reason)) + " (output report of " +
                  std::to_string(tooShort->value) + " bytes)";
  }
}

// After the USB part: waits for the adapter to go away (the handle opened
// before the download stops answering) and to come back, found by its
// serial number (or, without one that is its own, by its port). Its path
// then, or none with `failure` set.
std::optional<std::string> FollowRestart(HidBackend& hid, const FleetUnit& unit, bool bySerial,
                                         HidReadHandle* watch, std::string& failure) {
  const auto gone = SteadyClock::now() + kRestartLimit;
  HidAttributes attributes;
  while (watch != nullptr && watch->GetAttributes(attributes)) {
    if (SteadyClock::now() > gone) {
      failure = "did not restart within 10 s of its download";
      return std::nullopt;
    }
    std::this_thread::sleep_for(kRestartPoll);
  }
  const auto back = SteadyClock::now() + kRestartLimit;
  while (SteadyClock::now() < back) {
    for (const AdapterIdentity& found : ListAdapterInterfaces(hid)) {
      if (!IsUsableAdapter(found)) continue;
      if (bySerial ? found.serialNumber == unit.identity.serialNumber
                   : found.usbPort == unit.identity.usbPort) {
        return found.path;
      }
    }
    std::this_thread::sleep_for(kRestartPoll);
  }
  failure = "did not come back within 10 s of its restart";
  return std::nullopt;
}

void UpdateUnit(FleetContext& context, std::size_t row, bool bySerial) {
  FleetUnit& unit = context.units[row];
  FleetDisplay& display = context.display;
  const auto finish = [&](std::optional<InstalledVersions> after, std::string failure) {
    std::lock_guard lock(context.mutex);
    unit.after = after;
    unit.verified = failure.empty() && after && MatchesTargets(*after, context.targets);
    if (failure.empty() && !unit.verified) {
      failure = after ? "installed " + VersionsText(*after) + " after the update"
                      : "no answer to the versions query after the update";
    }
    unit.reason = failure;
    unit.end = SteadyClock::now();
    unit.finished = true;
  };
  {
    std::lock_guard lock(context.mutex);
    unit.start = SteadyClock::now();
  }
  const std::string path = unit.identity.path;
  // Opened before the first frame: it stops answering when the adapter restarts.
  const std::unique_ptr<HidReadHandle> watch = context.hid.OpenRead(path);
  Adapter adapter(context.hid, context.timing, context.clock);
  DownloadPlan plan;
  for (TransferPart part : unit.parts) {
    const auto image = part == TransferPart::kUsb ? *context.targets.usb : *context.targets.dsp;
    (part == TransferPart::kUsb ? plan.usb : plan.dsp) = [image] {
      return PartImage{PartImage::Status::kReady, image};
    };
    const std::string& path =
        part == TransferPart::kUsb ? context.targets.usbPath : context.targets.dspPath;
    plan.Source(part) = {path.empty(), path, {}, image};
  }
  plan.versionsBefore = unit.before;
  UnitObserver observer(display, row);
  DownloadOutcome outcome;
  // The mirror mark, keyed by the port the adapter keeps across its restart,
  // keeps the mute agent away from it until its versions are verified.
  std::unique_ptr<AdapterClaim> mirrorMark;
  if (adapter.Open(path)) {
    mirrorMark = adapter.HoldMirrorMark();
    outcome = adapter.Download(plan, observer);
  } else {
    outcome.kind = Outcome::kGone;
    outcome.detail = "no longer present";
  }
  {
    std::lock_guard lock(context.mutex);
    unit.outcome = outcome;
  }
  if (!outcome.Done()) {
    std::string reason = OutcomeName(outcome.kind);
    if (outcome.part) reason += std::string(" in the ") + TransferPartName(*outcome.part) + " part";
    if (outcome.step) reason += std::string(" at its ") + TransferStepName(*outcome.step);
    if (outcome.block) reason += " " + std::to_string(*outcome.block);
    if (outcome.reason) reason += std::string(": ") + RefusalReasonName(*outcome.reason);
    if (!outcome.detail.empty()) reason += ": " + outcome.detail;
    finish(std::nullopt, reason);
    display.Update(row, outcome.part, -1, OutcomeName(outcome.kind));
    return;
  }
  VersionsAnswer answer;
  if (std::find(unit.parts.begin(), unit.parts.end(), TransferPart::kUsb) != unit.parts.end()) {
    adapter.Close();
    display.Update(row, std::nullopt, -1, "restarting");
    std::string failure;
    const auto again = FollowRestart(context.hid, unit, bySerial, watch.get(), failure);
    if (!again) {
      finish(std::nullopt, failure);
      display.Update(row, std::nullopt, -1, "lost");
      return;
    }
    display.Update(row, std::nullopt, -1, "verifying");
    // The same adapter object, so that the history pairs these versions with
    // the download they follow.
    if (adapter.Open(*again)) answer = adapter.Versions();
  } else {
    display.Update(row, std::nullopt, -1, "verifying");
    answer = adapter.Versions();
  }
  finish(answer.versions, {});
  display.Update(row, std::nullopt, -1, unit.verified ? "updated" : "not verified");
}

// Serial numbers that several selected adapters give do not tell them apart.
bool SerialIsOwn(const std::vector<FleetUnit>& units, const FleetUnit& unit) {
  if (!unit.identity.serialNumber || unit.identity.serialNumber->empty()) return false;
  return std::count_if(units.begin(), units.end(), [&](const FleetUnit& other) {
           return other.identity.serialNumber == unit.identity.serialNumber;
         }) == 1;
}

std::string PlanText(const FleetUnit& unit, const FleetTargets& targets) {
  return unit.label + "  " + EscapeDeviceText(unit.identity.product.value_or("?")) + "  " +
         (unit.before ? VersionsText(*unit.before) : "versions unknown") + " -> " +
         TargetText(targets) + "  " + FleetActionName(unit.action) +
         (unit.reason.empty() ? "" : ": " + EscapeDeviceText(unit.reason));
}

std::string ResultText(const FleetUnit& unit) {
  std::string text = unit.label + "  " + unit.Result();
  if (unit.after) text += "  " + VersionsText(*unit.after);
  if (!unit.reason.empty() && unit.action != FleetAction::kCurrent) {
    text += ": " + EscapeDeviceText(unit.reason);
  }
  return text;
}

}  // namespace

int RunUpdateCommand(PlatformServices& services, EventPrinter& printer,
                     const UpdateOptions& options) {
  FleetRun run;
  run.start = std::chrono::system_clock::now();
  run.dryRun = options.dryRun;
  std::vector<HexInput> inputs;
  std::string error;
  if (!LoadTargets(options, inputs, run.targets, error)) {
    std::cerr << "kr35ctl: " << error << "\n";
    return kExitUsage;
  }
  auto selected = SelectAdapters(services, options);
  if (const int* status = std::get_if<int>(&selected)) return *status;

  std::vector<FleetUnit> units;
  for (AdapterIdentity& identity : std::get<0>(selected)) {
    FleetUnit unit;
    unit.identity = std::move(identity);
    unit.label = IdentityLabel(unit.identity);
    units.push_back(std::move(unit));
  }
  FleetDisplay display(printer);
  Timing timing = services.ExchangeTiming();
  timing.claimWait = {};  // an adapter another program holds is refused at once
  FleetContext context{
      services.AllInterfaces(), timing, services.ExchangeClock(), run.targets, display, units, {}};

  // The report, written when the run ends or a second signal aborts it.
  const auto writeReport = [&](bool interrupted) {
    if (options.reportPath.empty()) return true;
    std::string text;
    {
      std::lock_guard lock(context.mutex);
      run.end = std::chrono::system_clock::now();
      run.interrupted = interrupted;
      text = FleetReportJson(run, units);
    }
    std::string writeError;
    if (WriteFleetReport(options.reportPath, text, writeError)) return true;
    std::cerr << "kr35ctl: " << writeError << "\n";
    return false;
  };
  SetSignalExitHook([&] {
    InterruptOpenDownloads("aborted by a signal");
    writeReport(true);
    std::string saveError;
    services.Save(saveError);
  });
  if (printer.Style() == OutputStyle::kJson) {
    SetAbortResultLine("{\"event\":\"summary\",\"interrupted\":true}\n");
  }
  const auto end = [&](int status) {
    SetSignalExitHook([&services] {
      InterruptOpenDownloads("aborted by a signal");
      std::string saveError;
      services.Save(saveError);
    });
    SetAbortResultLine("");
    std::string saveError;
    if (!services.Save(saveError)) {
      std::cerr << "kr35ctl: " << saveError << "\n";
      if (status == kExitDone) status = kExitFailed;
    }
    if (!writeReport(false) && status == kExitDone) status = kExitFailed;
    return status;
  };

  RunJobs(units.size(), options.jobs,
          [&](std::size_t i) { PlanUnit(context, units[i], options.force); });
  std::size_t toUpdate = 0;
  for (const FleetUnit& unit : units) {
    WarnIfLastUpdateInterrupted(services, unit.identity);
    toUpdate += unit.action == FleetAction::kUpdate;
    std::string fields = FleetUnitJson(unit, run.targets);
    display.Print("plan", PlanText(unit, run.targets), fields);
  }
  const auto anyRefused = std::any_of(units.begin(), units.end(), [](const FleetUnit& u) {
    return u.action == FleetAction::kRefused;
  });
  if (options.dryRun) return end(anyRefused ? kExitFailed : kExitDone);

  if (toUpdate > 0) {
    ConsoleDialogHost host(printer, options.assumeYes, options.interactive);
    const std::string question = "Update " + std::to_string(toUpdate) +
                                 (toUpdate == 1 ? " adapter" : " adapters") + " as planned?";
    if (host.ShowMessageBox(question, MessageBoxIcon::kExclamation, MessageBoxButtons::kOkCancel) !=
        MessageBoxResult::kOk) {
      return end(kExitFailed);
    }
  }

  std::vector<std::size_t> queue;
  for (std::size_t i = 0; i < units.size(); ++i) {
    if (units[i].action == FleetAction::kUpdate) queue.push_back(i);
  }
  std::vector<bool> bySerial(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) bySerial[i] = SerialIsOwn(units, units[i]);
  for (const FleetUnit& unit : units) display.Add(unit);
  for (std::size_t i = 0; i < units.size(); ++i) {
    if (units[i].action != FleetAction::kUpdate) {
      display.Update(i, std::nullopt, -1, FleetActionName(units[i].action));
    }
  }
  {
    const TransferSpan transfers;  // a first signal now only warns
    display.Start();
    {
      // Wakes the display to say what a silent adapter waits for.
      std::jthread ticker([&display](std::stop_token stop) {
        std::mutex mutex;
        std::condition_variable_any wake;
        std::unique_lock lock(mutex);
        while (!stop.stop_requested()) {
          wake.wait_for(lock, stop, kWaitingTick, [] { return false; });
          display.Tick();
        }
      });
      RunJobs(queue.size(), options.jobs,
              [&](std::size_t k) { UpdateUnit(context, queue[k], bySerial[queue[k]]); });
    }
    display.Stop();
  }

  int updated = 0, current = 0, refused = 0, failed = 0;
  for (const FleetUnit& unit : units) {
    updated += unit.verified;
    current += unit.action == FleetAction::kCurrent;
    refused += unit.action == FleetAction::kRefused;
    failed += unit.action == FleetAction::kUpdate && !unit.verified;
    display.Print("result", ResultText(unit), FleetUnitJson(unit, run.targets));
  }
  const int status = refused + failed > 0 ? kExitFailed : kExitDone;
  std::string text = toUpdate == 0 && status == kExitDone
                         ? "nothing to update: every adapter is current"
                         : std::to_string(updated) + " updated, " + std::to_string(current) +
                               " current, " + std::to_string(failed) + " failed, " +
                               std::to_string(refused) + " refused";
  display.Print(
      "summary", text,
      "\"updated\":" + std::to_string(updated) + ",\"current\":" + std::to_string(current) +
          ",\"failed\":" + std::to_string(failed) + ",\"refused\":" + std::to_string(refused) +
          ",\"exitStatus\":" + std::to_string(status));
  return end(status);
}

}  // namespace kr35
